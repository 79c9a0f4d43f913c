// Reading the controls back: the validation messages, where they leave the focus and the
// fields, and which values let "SAIR" end the window.
#include "CorvalineApp.h"
#include "MessageBoxWatcher.h"
#include "WindowFixture.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace corvaline::testsupport;

namespace {

constexpr UINT kMinMs = CCorvalineDlg::kCrossfadeMinMs;
constexpr UINT kMaxMs = CCorvalineDlg::kCrossfadeMaxMs;
const char kRangeMessage[] = "Please enter an integer between 2000 and 15000.";

} // namespace

TEST_F(WindowTest, SairWithABadTimeShowsWhyAndStaysOpen) {
    struct Case {
        std::string typed;
        const char* message;
        UINT fieldAfter; // the range check keeps what it read; a failed parse keeps the old
    };
    const Case cases[] = {
        {std::to_string(kMinMs - 1), kRangeMessage, kMinMs - 1},
        {std::to_string(kMaxMs + 1), kRangeMessage, kMaxMs + 1},
        {"", "Please enter a positive integer.", kMaxMs + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        SetText(IDC_CROSSFADE_MS, c.typed);
        MessageBoxWatcher watcher;
        Click(IDOK);
        ASSERT_EQ(watcher.Seen().size(), 1u);
        EXPECT_EQ(watcher.Seen()[0].text, c.message);
        EXPECT_EQ(watcher.Seen()[0].icon, QMessageBox::Warning);
        EXPECT_EQ(Dlg().GetSafeHwnd()->focusWidget(), Control(IDC_CROSSFADE_MS));
        EXPECT_EQ(Edit(IDC_CROSSFADE_MS)->selectedText().toStdString(), c.typed);
        EXPECT_TRUE(Dlg().GetSafeHwnd()->isVisible());
        EXPECT_EQ(Dlg().m_crossfadeMs, c.fieldAfter);
    }
}

TEST_F(WindowTest, ReadingStopsAtTheFirstFailingRow) {
    // Rows read before the failure take their new values; rows after it are not read.
    SetPath("typed.wav");
    Click(IDC_AUTO_CROSSFADE);
    Click(IDC_SUBDIRS);
    EXPECT_TRUE(Checked(IDC_AUTO_CROSSFADE));
    EXPECT_EQ(Dlg().m_autoCrossfade, 0) << "a click only toggles the box";
    SetText(IDC_CROSSFADE_MS, "1999");
    MessageBoxWatcher watcher;
    EXPECT_FALSE(Dlg().UpdateFields());
    EXPECT_EQ(Dlg().m_path, "typed.wav");
    EXPECT_EQ(Dlg().m_autoCrossfade, 1);
    EXPECT_EQ(Dlg().m_crossfadeMs, 1999u);
    EXPECT_EQ(Dlg().m_subDirs, 0);

    // The gain row comes first, so the time is not even read.
    SetText(IDC_GAIN, "abc");
    SetText(IDC_CROSSFADE_MS, "7000");
    EXPECT_FALSE(Dlg().UpdateFields());
    ASSERT_EQ(watcher.Seen().size(), 2u);
    EXPECT_EQ(watcher.Seen()[1].text, "Please enter a number.");
    EXPECT_EQ(Dlg().GetSafeHwnd()->focusWidget(), Control(IDC_GAIN));
    EXPECT_EQ(Edit(IDC_GAIN)->selectedText(), "abc");
    EXPECT_EQ(Dlg().m_gainDb, 0.0);
    EXPECT_EQ(Dlg().m_crossfadeMs, 1999u);

    SetText(IDC_GAIN, " \t-3.5 ");
    EXPECT_TRUE(Dlg().UpdateFields());
    EXPECT_EQ(Dlg().m_gainDb, -3.5);
    EXPECT_EQ(Dlg().m_crossfadeMs, 7000u);
    EXPECT_EQ(Dlg().m_subDirs, 1);
}

TEST(ModalWindow, SairEndsTheRunOnlyWithATimeInRange) {
    struct Case {
        std::string typed;
        INT_PTR result;
    };
    for (const Case& c : {Case{std::to_string(kMinMs), IDOK}, Case{std::to_string(kMaxMs), IDOK},
                          Case{std::to_string(kMinMs - 1), kStillOpen},
                          Case{std::to_string(kMaxMs + 1), kStillOpen}, Case{"", kStillOpen}}) {
        SCOPED_TRACE(c.typed);
        MessageBoxWatcher watcher;
        UINT read = 0;
        const INT_PTR result = RunWindowModally([&](TestableWindow& dlg) {
            qobject_cast<QLineEdit*>(dlg.FindControl(IDC_CROSSFADE_MS))
                ->setText(QString::fromStdString(c.typed));
            QTest::mouseClick(dlg.FindControl(IDOK), Qt::LeftButton);
            read = dlg.m_crossfadeMs;
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(watcher.Seen().size(), c.result == IDOK ? 0u : 1u);
        if (c.result == IDOK) {
            EXPECT_EQ(std::to_string(read), c.typed);
        }
    }
}

TEST(ModalWindow, CancelEndsTheRunWithoutReadingTheControls) {
    MessageBoxWatcher watcher;
    UINT read = 0;
    const INT_PTR result = RunWindowModally([&](TestableWindow& dlg) {
        qobject_cast<QLineEdit*>(dlg.FindControl(IDC_CROSSFADE_MS))->setText("1");
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
        read = dlg.m_crossfadeMs;
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_EQ(read, 5000u);
}

// The program's whole run: InitInstance opens the window, "SAIR" closes it, and the
// library is closed with it.
TEST(ModalWindow, SairEndsTheProgram) {
    ASSERT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL), 0);
    bool clicked = false;
    QObject guard;
    QTimer::singleShot(0, &guard, [&clicked] {
        auto* window = dynamic_cast<CDialog*>(AfxGetMainWnd());
        ASSERT_NE(window, nullptr);
        QTest::mouseClick(window->FindControl(IDOK), Qt::LeftButton);
        clicked = true;
    });
    // Ends a run that the click did not end, so that a fault fails instead of hanging.
    bool forced = false;
    QTimer::singleShot(5000, &guard, [&forced] {
        if (auto* window = dynamic_cast<CDialog*>(AfxGetMainWnd())) {
            forced = true;
            window->EndDialog(IDCANCEL);
        }
    });
    EXPECT_FALSE(AfxGetApp()->InitInstance());
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(forced);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    EXPECT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL), 0) << "the library is still running";
}
