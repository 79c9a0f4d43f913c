#include "TestDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

using namespace testdlg;

namespace {

struct OpenDialog {
    TestDialog dlg;
    OpenDialog() {
        dlg.Create();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.GetSafeHwnd()));
    }
    ~OpenDialog() { dlg.DestroyWindow(); }
    template <class W> W* Item(int id) { return qobject_cast<W*>(dlg.Item(id)); }
};

} // namespace

TEST(Template, ControlsArePlacedInPixelsFromDialogUnitsAndNamedByIdentifier) {
    OpenDialog open;
    QWidget* window = open.dlg.GetSafeHwnd();
    ASSERT_NE(window, nullptr);
    // 340 x 130 units: 510 x 211.25 pixels.
    EXPECT_EQ(window->size(), QSize(510, 211));
    EXPECT_EQ(window->windowTitle(), "Test dialog");
    // Whatever font stands in for the template's, its letters fit the 6-pixel base unit.
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    EXPECT_LE((QFontMetrics(window->font()).horizontalAdvance(letters) + 26) / 52, 6);

    for (const DialogControl& c : Template().controls) {
        if (c.id == IDC_STATIC) {
            continue;
        }
        QWidget* w = open.dlg.Item(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        EXPECT_EQ(w->objectName(), QString::number(c.id));
        EXPECT_EQ(w->parentWidget(), window);
    }
    // Edit 1000 at (10, 30), 100 x 14 units; odd half units round away from zero.
    EXPECT_EQ(open.dlg.Item(kText)->geometry(), QRect(15, 49, 150, 23));
    // Check box at (10, 50), 60 x 12 units: y 81.25, height 19.5.
    EXPECT_EQ(open.dlg.Item(kCheck)->geometry(), QRect(15, 81, 90, 20));
    // Vertical slider at (210, 10), 15 x 60: x 315, width 22.5, y 16.25, height 97.5.
    EXPECT_EQ(open.dlg.Item(kVSlider)->geometry(), QRect(315, 16, 23, 98));
    // An icon control takes its picture's size.
    QLabel* iconLabel = nullptr;
    for (auto* label : window->findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            iconLabel = label;
        }
    }
    ASSERT_NE(iconLabel, nullptr);
    EXPECT_EQ(iconLabel->geometry(), QRect(450, 163, 32, 32));
    EXPECT_EQ(iconLabel->pixmap().toImage().pixel(5, 5), qRgb(10, 20, 30));
}

TEST(Template, TabVisitsTabStopsInTableOrderSkippingHiddenAndDisabled) {
    OpenDialog open;
    QWidget* window = open.dlg.GetSafeHwnd();
    // Open with the focus on the first tab stop.
    EXPECT_EQ(window->focusWidget(), open.dlg.Item(IDOK));

    const int expected[] = {kText,    kGo,   kCheck,   kGain,  kTime, kSlider,
                            kVSlider, kList, kDefault, kPlain, IDOK};
    for (int id : expected) {
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(window->focusWidget(), open.dlg.Item(id))
            << "expected " << id << ", got " << window->focusWidget()->objectName().toStdString();
    }
}

TEST(Template, StylesAreApplied) {
    OpenDialog open;
    // A focused button stands in for the default one while it has the focus.
    auto* def = open.Item<QPushButton>(kDefault);
    open.dlg.Item(kText)->setFocus();
    EXPECT_TRUE(def->isDefault());
    EXPECT_FALSE(open.Item<QPushButton>(IDOK)->isDefault());

    QWidget* cancel = open.dlg.Item(IDCANCEL);
    EXPECT_TRUE(cancel->isHidden());
    EXPECT_FALSE(cancel->isEnabled());
    EXPECT_FALSE(open.dlg.GetDlgItem(kOff)->IsWindowEnabled());
    EXPECT_TRUE(open.dlg.GetDlgItem(kGo)->IsWindowVisible());

    auto* gain = open.Item<QLineEdit>(kGain);
    EXPECT_TRUE(gain->isReadOnly());
    EXPECT_FALSE(gain->hasFrame());
    EXPECT_FALSE(gain->styleSheet().isEmpty()); // the thin sunken edge
    EXPECT_TRUE(gain->alignment() & Qt::AlignRight);
    EXPECT_TRUE(open.Item<QLineEdit>(kText)->hasFrame());

    // Digits only: other keys do not reach the text.
    auto* time = open.Item<QLineEdit>(kTime);
    time->clear();
    time->setFocus();
    QTest::keyClicks(time, "12a-3 4");
    EXPECT_EQ(time->text(), "1234");

    EXPECT_EQ(open.Item<QCheckBox>(kCheck)->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(open.Item<QCheckBox>(kPlain)->layoutDirection(), Qt::LeftToRight);

    auto* slider = open.Item<QSlider>(kSlider);
    EXPECT_EQ(slider->orientation(), Qt::Horizontal);
    EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);
    auto* vslider = open.Item<QSlider>(kVSlider);
    EXPECT_EQ(vslider->orientation(), Qt::Vertical);
    // Position 0 at the top, as on Windows: Down moves towards the maximum.
    open.dlg.m_vslider.SetRange(0, 95);
    open.dlg.m_vslider.SetPos(45);
    vslider->setFocus();
    QTest::keyClick(vslider, Qt::Key_Down);
    EXPECT_EQ(open.dlg.m_vslider.GetPos(), 46);
    EXPECT_TRUE(vslider->invertedAppearance());

    EXPECT_FALSE(open.Item<QProgressBar>(kProgress)->isTextVisible());
}

TEST(Template, ControlClassesDriveTheirWidgets) {
    OpenDialog open;
    CListBox& list = open.dlg.m_list;
    // Lines stay in the order added.
    EXPECT_EQ(list.AddString("b"), 0);
    EXPECT_EQ(list.AddString("a"), 1);
    EXPECT_EQ(list.AddString("c"), 2);
    std::string text;
    EXPECT_EQ(list.GetText(1, text), 1);
    EXPECT_EQ(text, "a");
    EXPECT_EQ(list.GetText(3, text), LB_ERR);
    EXPECT_EQ(list.GetCurSel(), LB_ERR);
    EXPECT_EQ(list.SetCurSel(2), 2);
    EXPECT_EQ(list.GetCurSel(), 2);
    EXPECT_EQ(list.DeleteString(0), 2);
    EXPECT_EQ(list.DeleteString(5), LB_ERR);
    EXPECT_EQ(list.GetCount(), 2);
    // Many lines at once go after the others, in their order.
    const std::vector<std::string_view> batch = {"d", "", "e"};
    EXPECT_EQ(list.AddStrings(batch), 4);
    EXPECT_EQ(list.AddStrings({}), LB_ERR);
    EXPECT_EQ(list.GetCount(), 5);
    EXPECT_EQ(list.GetText(2, text), 1);
    EXPECT_EQ(text, "d");
    EXPECT_EQ(list.GetText(3, text), 0);
    EXPECT_EQ(list.GetText(4, text), 1);
    EXPECT_EQ(text, "e");
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);

    CSliderCtrl& slider = open.dlg.m_slider;
    slider.SetRange(0, 255);
    slider.SetPos(300);
    EXPECT_EQ(slider.GetPos(), 255);
    slider.SetPos(128);
    EXPECT_EQ(slider.GetPos(), 128);

    // Out-of-range positions clamp, as on Windows, where Qt would ignore them.
    CProgressCtrl& progress = open.dlg.m_progress;
    progress.SetRange(0, 100);
    progress.SetPos(40);
    EXPECT_EQ(progress.SetPos(140), 40);
    EXPECT_EQ(progress.GetPos(), 100);

    // Generic access by identifier.
    open.dlg.SetDlgItemText(kGo, "Went");
    EXPECT_EQ(open.Item<QPushButton>(kGo)->text(), "Went");
    open.dlg.CheckDlgButton(kPlain, BST_CHECKED);
    EXPECT_EQ(open.dlg.IsDlgButtonChecked(kPlain), BST_CHECKED);
    EXPECT_EQ(open.dlg.GetDlgItem(4242), nullptr);

    // After the window is gone the wrappers do nothing.
    open.dlg.DestroyWindow();
    EXPECT_EQ(list.AddString("x"), LB_ERR);
    EXPECT_EQ(slider.GetPos(), 0);
}
