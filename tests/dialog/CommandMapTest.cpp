#include "MessageBoxWatcher.h"
#include "TestDialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace testdlg;

namespace {

// Runs the dialog modally with `script` played from inside its event loop; a run that
// the script does not end is ended with -2.
INT_PTR RunModal(TestDialog& dlg, std::function<void()> script) {
    QTimer::singleShot(0, [script] { script(); });
    // Tied to this run, so that it cannot go off in a later test's event loop and end a
    // dialog that is long gone.
    QObject run;
    QTimer::singleShot(5000, &run, [&dlg] { dlg.EndDialog(-2); });
    return dlg.DoModal();
}

QMenu* OpenPopup() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QAction* FindAction(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

} // namespace

TEST(CommandMap, ClicksReachTheirHandlersAndUnmappedBoxesOnlyToggle) {
    TestDialog dlg;
    dlg.Create();
    QTest::mouseClick(dlg.Item(kGo), Qt::LeftButton);
    QTest::mouseClick(dlg.Item(kCheck), Qt::LeftButton);
    QTest::mouseClick(dlg.Item(kPlain), Qt::LeftButton);
    QTest::mouseClick(dlg.Item(kOff), Qt::LeftButton); // disabled
    EXPECT_EQ(dlg.goClicks, 1);
    EXPECT_EQ(dlg.checkClicks, 1);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kCheck), BST_CHECKED);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kPlain), BST_CHECKED);
    EXPECT_EQ(dlg.defaultClicks, 0);

    // Enter in an edit presses the default button; a focused button takes Enter itself.
    dlg.Item(kText)->setFocus();
    QTest::keyClick(dlg.Item(kText), Qt::Key_Return);
    EXPECT_EQ(dlg.defaultClicks, 1);
    dlg.Item(kGo)->setFocus();
    QTest::keyClick(dlg.Item(kGo), Qt::Key_Return);
    EXPECT_EQ(dlg.goClicks, 2);
    EXPECT_EQ(dlg.defaultClicks, 1);
    dlg.DestroyWindow();
}

TEST(CommandMap, SliderReportsMouseReleaseOnlyNotKeyboardMoves) {
    TestDialog dlg;
    dlg.Create();
    auto* slider = qobject_cast<QSlider*>(dlg.Item(kSlider));
    dlg.m_slider.SetRange(0, 255);
    dlg.m_slider.SetPos(0);
    const int y = slider->height() / 2;

    // Drag the thumb from the left end.
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(3, y));
    QTest::mouseMove(slider, QPoint(slider->width() / 2, y));
    QTest::mouseMove(slider, QPoint(slider->width() * 3 / 4, y));
    EXPECT_TRUE(dlg.releasedAt.empty());
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 4, y));
    ASSERT_EQ(dlg.releasedAt.size(), 1u);
    EXPECT_GT(dlg.releasedAt[0], 128);
    EXPECT_EQ(dlg.releasedAt[0], dlg.m_slider.GetPos());

    // A click beside the thumb moves it and reports once.
    dlg.m_slider.SetPos(0);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, y));
    ASSERT_EQ(dlg.releasedAt.size(), 2u);
    EXPECT_GT(dlg.releasedAt[1], 0);

    // Arrow keys move the slider without a report.
    const int before = dlg.m_slider.GetPos();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(dlg.m_slider.GetPos(), before - 1);
    EXPECT_EQ(dlg.releasedAt.size(), 2u);
    dlg.DestroyWindow();
}

TEST(CommandMap, ListBoxReportsDoubleClickNotSingleClick) {
    TestDialog dlg;
    dlg.Create();
    for (const char* line : {"one", "two", "three"}) {
        dlg.m_list.AddString(line);
    }
    // Appended lines reach the widget when the window next handles its events.
    QCoreApplication::processEvents();
    auto* list = qobject_cast<QListView*>(dlg.Item(kList));
    const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_TRUE(dlg.doubleClickedAt.empty());
    EXPECT_EQ(dlg.m_list.GetCurSel(), 1);

    const QPoint third = list->visualRect(list->model()->index(2, 0)).center();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third);
    ASSERT_EQ(dlg.doubleClickedAt.size(), 1u);
    EXPECT_EQ(dlg.doubleClickedAt[0], 2);
    dlg.DestroyWindow();
}

TEST(CommandMap, OkReadsTheControlsAndCancelDoesNot) {
    {
        // With its cancel control hidden, the window ignores Escape; the close box is the
        // cancel command.
        TestDialog dlg;
        const INT_PTR result = RunModal(dlg, [&dlg] {
            qobject_cast<QLineEdit*>(dlg.Item(kText))->setText("typed");
            QTest::keyClick(dlg.GetSafeHwnd(), Qt::Key_Escape);
            QTest::keyClick(dlg.Item(kText), Qt::Key_Escape);
            EXPECT_TRUE(dlg.GetSafeHwnd()->isVisible());
            dlg.GetSafeHwnd()->close();
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(dlg.m_text, "start");
        EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{SC_CLOSE});
        EXPECT_TRUE(dlg.destroyed);
        EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    }
    {
        TestDialog dlg;
        const INT_PTR result = RunModal(dlg, [&dlg] {
            qobject_cast<QLineEdit*>(dlg.Item(kText))->setText("typed");
            QTest::mouseClick(dlg.Item(IDOK), Qt::LeftButton);
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(dlg.m_text, "typed");
    }
    {
        // A failed validation keeps the window open; once corrected, OK ends it.
        TestDialog dlg;
        bool stillOpen = false;
        MessageBoxWatcher watcher;
        const INT_PTR result = RunModal(dlg, [&] {
            qobject_cast<QLineEdit*>(dlg.Item(kTime))->setText("1999");
            QTest::mouseClick(dlg.Item(IDOK), Qt::LeftButton);
            stillOpen = dlg.GetSafeHwnd() && dlg.GetSafeHwnd()->isVisible();
            qobject_cast<QLineEdit*>(dlg.Item(kTime))->setText("2000");
            QTest::mouseClick(dlg.Item(IDOK), Qt::LeftButton);
        });
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(dlg.m_time, 2000u);
        EXPECT_EQ(watcher.Seen().size(), 1u);
    }
}

TEST(CommandMap, NestedModalDialogReturnsToItsOwnerUnchanged) {
    TestDialog outer;
    INT_PTR innerResult = 0;
    int outerClicksAfter = 0;
    const INT_PTR outerResult = RunModal(outer, [&] {
        TestDialog inner;
        innerResult = RunModal(inner, [&inner] {
            QTest::mouseClick(inner.Item(kGo), Qt::LeftButton);
            QTest::mouseClick(inner.Item(IDOK), Qt::LeftButton);
        });
        EXPECT_EQ(inner.goClicks, 1);
        QTest::mouseClick(outer.Item(kGo), Qt::LeftButton);
        outerClicksAfter = outer.goClicks;
        QTest::mouseClick(outer.Item(IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(innerResult, IDOK);
    EXPECT_EQ(outerClicksAfter, 1);
    EXPECT_EQ(outerResult, IDOK);
}

TEST(CommandMap, TimerKeepsFiringWhileAMessageBoxIsOpen) {
    TestDialog dlg;
    std::size_t ticksWhenBoxClosed = 0;
    MessageBoxWatcher watcher([&dlg] { return dlg.timerIds.size() >= 3; });
    dlg.onInit = [&](TestDialog& d) {
        d.SetTimer(7, 10);
        d.MessageBox("Hello", {}, MB_ICONINFORMATION);
        ticksWhenBoxClosed = d.timerIds.size();
    };
    dlg.onTick = [](TestDialog& d, UINT_PTR) {
        if (d.timerIds.size() >= 6) {
            d.EndDialog(42);
        }
    };
    EXPECT_EQ(dlg.DoModal(), 42);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    const SeenMessageBox& box = watcher.Seen()[0];
    EXPECT_EQ(box.text, "Hello");
    EXPECT_EQ(box.caption, "Dialog Tests");
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_TRUE(box.ownerVisible); // the window appears before the box
    EXPECT_GE(ticksWhenBoxClosed, 3u);
    for (UINT_PTR id : dlg.timerIds) {
        EXPECT_EQ(id, 7u);
    }

    // The timer goes with the window.
    const std::size_t ticks = dlg.timerIds.size();
    QTest::qWait(50);
    EXPECT_EQ(dlg.timerIds.size(), ticks);
}

TEST(CommandMap, SystemMenuOffersWindowCommandsAndProgramEntries) {
    TestDialog dlg;
    dlg.Create();
    QWidget* window = dlg.GetSafeHwnd();
    QTest::keyClick(window, Qt::Key_Space, Qt::AltModifier);
    QMenu* menu = OpenPopup();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QString("-") : action->text());
    }
    EXPECT_EQ(texts,
              (QStringList{"&Restore", "Mi&nimize", "-", "&Close\tAlt+F4", "-", "&About..."}));
    EXPECT_FALSE(FindAction(menu, "&Restore")->isEnabled());
    FindAction(menu, "&About...")->trigger();
    menu->hide();
    QApplication::processEvents();
    EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{kAbout});

    // The context menu is the same menu; Minimize then Restore go through OnSysCommand to
    // the default handling, and each state change repaints.
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            window->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window, &event);
    menu = OpenPopup();
    ASSERT_NE(menu, nullptr);
    FindAction(menu, "Mi&nimize")->trigger();
    menu->hide();
    QTest::qWait(20);
    EXPECT_TRUE(dlg.IsIconic());
    ASSERT_FALSE(dlg.paintedIconic.empty());
    EXPECT_TRUE(dlg.paintedIconic.back());

    dlg.SendMessage(WM_SYSCOMMAND, SC_RESTORE);
    QTest::qWait(20);
    EXPECT_FALSE(dlg.IsIconic());
    EXPECT_FALSE(dlg.paintedIconic.back());
    EXPECT_EQ(dlg.sysCommands, (std::vector<UINT>{kAbout, SC_MINIMIZE, SC_RESTORE}));
    dlg.DestroyWindow();

    // Close from the menu is the cancel command.
    TestDialog modal;
    const INT_PTR result = RunModal(modal, [&modal] {
        QTest::keyClick(modal.GetSafeHwnd(), Qt::Key_Space, Qt::AltModifier);
        if (QMenu* m = OpenPopup()) {
            FindAction(m, "&Close\tAlt+F4")->trigger();
            m->hide();
        }
    });
    EXPECT_EQ(result, IDCANCEL);
}
