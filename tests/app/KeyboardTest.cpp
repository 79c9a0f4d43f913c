// The main window without a mouse: Space on the focused button, Enter for "CrossFade",
// the close box (not Escape) for the cancel command, Alt+Space for the system menu.
#include "WindowFixture.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>

using namespace corvaline::testsupport;

TEST_F(WindowTest, SpacePressesTheFocusedButtonAndEnterPressesCrossFade) {
    SetPath(WriteWav("track.wav", 44100 * 20, Constant(0.25f, 0.25f)));
    Control(IDC_TOCAR_1)->setFocus();
    QTest::keyClick(Control(IDC_TOCAR_1), Qt::Key_Space);
    ASSERT_EQ(Dlg().m_playing1, 1);

    // Enter on a control that is no button hands over from deck 1, wherever the focus is.
    for (int focused : {IDC_PATH, IDC_CROSSFADE_MS, IDC_AUTO_CROSSFADE, IDC_PAN_1, IDC_SCALE,
                        IDC_SEQUENCE_GRID}) {
        Click(IDC_PARAR_2);
        Click(IDC_PARAR_1);
        Click(IDC_TOCAR_1);
        ASSERT_EQ(Dlg().m_playing2, 0);
        Control(focused)->setFocus();
        QTest::keyClick(Control(focused), Qt::Key_Return);
        EXPECT_EQ(Dlg().m_playing2, 1) << "Enter on " << focused;
        EXPECT_EQ(Dlg().m_fadeOut1, 1) << "Enter on " << focused;
    }

    // A focused button takes Enter for itself, as on Windows.
    Click(IDC_PARAR_2);
    Click(IDC_PARAR_1);
    Click(IDC_TOCAR_1);
    QTest::keyClick(Control(IDC_PARAR_1), Qt::Key_Enter);
    EXPECT_EQ(Dlg().m_playing1, 0);
    EXPECT_EQ(Dlg().m_playing2, 0);
}

TEST_F(WindowTest, AltSpaceOpensTheSystemMenuWithTheAboutEntry) {
    // As on a desktop, the window is active and an edit has the focus.
    QWidget* window = Dlg().GetSafeHwnd();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const std::string path = Text(IDC_PATH);
    Control(IDC_PATH)->setFocus();
    QTest::keyClick(Control(IDC_PATH), Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(Text(IDC_PATH), path);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
    }
    EXPECT_TRUE(texts.contains("&Close\tAlt+F4"));
    EXPECT_EQ(texts.last(), "&About Corvaline...");
    menu->hide();
}

// A stray Escape must not end the program while it plays; the close box does.
TEST(ModalWindow, EscapeLeavesTheWindowOpenAndTheCloseBoxEndsTheRunWithTheCancelCommand) {
    EXPECT_EQ(RunWindowModally([](TestableWindow& dlg) {
                  for (int focused : {IDC_PATH, IDC_TOCAR_1}) {
                      QWidget* control = dlg.FindControl(focused);
                      control->setFocus();
                      QTest::keyClick(control, Qt::Key_Escape);
                  }
                  EXPECT_TRUE(dlg.GetSafeHwnd()->isVisible());
                  dlg.GetSafeHwnd()->close();
              }),
              IDCANCEL);
}
