// The About box: which system commands open it, what it shows, and that closing it leaves
// the main window as it was.
#include "WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

using namespace corvaline::testsupport;

namespace {

const QString kCaption = "Acerca do Corvaline / About Corvaline";

struct SeenAbout {
    QSize size;
    bool ownsLibraryLine = false;
    bool okIsDefault = false;
};

// Records every About box that opens and closes it with its own "OK" button, or first tries
// Escape, which a box with no cancel button takes as its cancel command.
class AboutCloser {
  public:
    explicit AboutCloser(bool escape = false) : m_escape(escape) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(5);
    }
    const std::vector<SeenAbout>& Seen() const { return m_seen; }
    int Escapes() const { return m_escapes; }
    int OpenAfterEscape() const { return m_openAfterEscape; }

  private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(w);
            if (!box || !box->isVisible() || box->windowTitle() != kCaption || box == m_closing) {
                continue;
            }
            if (m_escape && box != m_escaped) {
                m_escaped = box;
                ++m_escapes;
                QTest::keyClick(box, Qt::Key_Escape);
                continue;
            }
            m_openAfterEscape += box == m_escaped ? 1 : 0;
            SeenAbout seen{box->size()};
            for (const QLabel* label : box->findChildren<QLabel*>()) {
                seen.ownsLibraryLine |=
                    label->text() == "Este programa tem recurso a livraria FMOD";
            }
            auto* ok = box->findChild<QPushButton*>("1");
            seen.okIsDefault = ok && ok->text() == "OK" && ok->isDefault();
            m_seen.push_back(seen);
            m_closing = box;
            if (ok) {
                ok->click();
            } else {
                box->reject();
            }
        }
    }

    bool m_escape;
    int m_escapes = 0;
    int m_openAfterEscape = 0;
    QTimer m_timer;
    std::vector<SeenAbout> m_seen;
    QPointer<QDialog> m_closing;
    QPointer<QDialog> m_escaped;
};

} // namespace

TEST_F(WindowTest, SystemCommands16To31OpenTheAboutBox) {
    SetPath("kept.wav");
    AboutCloser closer;
    for (UINT command = 16; command <= 31; ++command) {
        Dlg().SendMessage(WM_SYSCOMMAND, command);
    }
    ASSERT_EQ(closer.Seen().size(), 16u);
    const SeenAbout& about = closer.Seen()[0];
    EXPECT_EQ(about.size, QSize(453, 254)); // 302 x 156 dialog units
    EXPECT_TRUE(about.ownsLibraryLine);
    EXPECT_TRUE(about.okIsDefault);

    Dlg().SendMessage(WM_SYSCOMMAND, 15);
    Dlg().SendMessage(WM_SYSCOMMAND, 32);
    EXPECT_EQ(closer.Seen().size(), 16u);

    // The main window goes on as it was, controls not read back into their fields.
    EXPECT_TRUE(Dlg().GetSafeHwnd()->isVisible());
    EXPECT_EQ(Text(IDC_PATH), "kept.wav");
    EXPECT_EQ(Dlg().m_path, "H:\\MPEG AUDIO\\*.MP*");
}

TEST_F(WindowTest, TheSystemMenuEntryOpensTheAboutBox) {
    QMenu* menu = Dlg().GetSystemMenu(FALSE)->GetSafeHmenu();
    ASSERT_NE(menu, nullptr);
    QAction* entry = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == "&About Corvaline...") {
            entry = action;
        }
    }
    ASSERT_NE(entry, nullptr);
    AboutCloser closer(true);
    // The menu passes its command on once the menu has closed.
    entry->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&closer] { return closer.Escapes() == 1; }, 2000));
    QTest::qWait(20);
    EXPECT_EQ(closer.OpenAfterEscape(), 0) << "Escape left the About box open";
    EXPECT_EQ(closer.Escapes(), 1);
}
