#include "FileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

constexpr const char* kFilter = "Ficheiros MPEG(*.mp*)| *.mp*|Ficheiros WAVE (*.wav)| *.wav||";

// Plays `answer` on the framework's file dialog once it is open.
void WhenOpen(std::function<void(QFileDialog&)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (dialog && dialog->isVisible() &&
                dialog->objectName() == QStringLiteral("AfxFileDialog")) {
                poll->stop();
                poll->deleteLater();
                answer(*dialog);
                return;
            }
        }
    });
    poll->start(10);
}

class FileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "filedialog-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        std::ofstream(m_dir + "/song.mp3").put('x');
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::string m_dir;
};

TEST_F(FileDialogTest, OpensInThePatternsDirectoryWithTheFirstFilterAndReturnsTheChoice) {
    CFileDialog chooser(TRUE, {}, m_dir + "/*.mp*", OFN_EXPLORER | OFN_HIDEREADONLY, kFilter);
    EXPECT_EQ(chooser.Request().directory, m_dir);
    EXPECT_EQ(chooser.Request().fileName, "");
    QStringList filters;
    QString selected;
    QString directory;
    bool caseSensitive = true;
    WhenOpen([&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        selected = dialog.selectedNameFilter();
        caseSensitive = (dialog.filter() & QDir::CaseSensitive) != 0;
        directory = dialog.directory().absolutePath();
        dialog.selectFile(QString::fromStdString(m_dir + "/song.mp3"));
        static_cast<QDialog&>(dialog).accept(); // the file dialog's own, as its button calls it
    });
    ASSERT_EQ(chooser.DoModal(), IDOK);
    EXPECT_EQ(chooser.GetPathName(), m_dir + "/song.mp3");
    EXPECT_EQ(chooser.GetFileName(), "song.mp3");
    EXPECT_EQ(chooser.GetFileExt(), "mp3");
    EXPECT_EQ(directory.toStdString(), m_dir);
    // The user sees the descriptions as the filter text gives them.
    EXPECT_EQ(filters.size(), 2);
    EXPECT_EQ(selected.toStdString(), "Ficheiros MPEG(*.mp*)");
    // Song.MP3 is offered under "*.mp*" as well.
    EXPECT_FALSE(caseSensitive);

    WhenOpen([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(chooser.DoModal(), IDCANCEL);
    EXPECT_EQ(chooser.GetPathName(), "");
}

} // namespace
