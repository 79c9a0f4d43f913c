#include "MessageBoxWatcher.h"
#include "TestDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace testdlg;

namespace {

struct Exchange : ::testing::Test {
    TestDialog dlg;
    void SetUp() override { dlg.Create(); }
    void TearDown() override { dlg.DestroyWindow(); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(dlg.Item(id)); }
    QString Text(int id) { return Edit(id)->text(); }
};

} // namespace

TEST_F(Exchange, FieldsGoIntoControlsAndComeBack) {
    dlg.m_text = "H:\\MPEG AUDIO\\*.MP*";
    dlg.m_check = 1;
    dlg.m_gain = 0.0;
    dlg.m_time = 5000;
    dlg.UpdateControls();
    EXPECT_EQ(Text(kText), "H:\\MPEG AUDIO\\*.MP*");
    EXPECT_EQ(dlg.IsDlgButtonChecked(kCheck), BST_CHECKED);
    EXPECT_EQ(Text(kGain), "0");
    EXPECT_EQ(Text(kTime), "5000");

    // Fifteen significant digits, and the shortest form otherwise.
    dlg.m_gain = 1.0 / 3.0;
    dlg.UpdateControls();
    EXPECT_EQ(Text(kGain), "0.333333333333333");
    dlg.m_gain = -12.5;
    dlg.UpdateControls();
    EXPECT_EQ(Text(kGain), "-12.5");
    dlg.m_gain = 1e20;
    dlg.UpdateControls();
    EXPECT_EQ(Text(kGain), "1e+20");

    Edit(kText)->setText("other");
    Edit(kGain)->setText(" \t-2.25 ");
    Edit(kTime)->setText("\t15000 ");
    dlg.CheckDlgButton(kCheck, BST_UNCHECKED);
    dlg.CheckDlgButton(kPlain, BST_CHECKED);
    EXPECT_TRUE(dlg.UpdateFields());
    EXPECT_EQ(dlg.m_text, "other");
    EXPECT_EQ(dlg.m_check, 0);
    EXPECT_EQ(dlg.m_gain, -2.25);
    EXPECT_EQ(dlg.m_time, 15000u);
    EXPECT_EQ(dlg.m_plain, 1);
}

TEST_F(Exchange, OutOfRangeIntegerStopsTheReadWithTheRangeMessage) {
    for (const char* bad : {"1999", "15001"}) {
        MessageBoxWatcher watcher;
        dlg.m_plain = 0;
        dlg.CheckDlgButton(kPlain, BST_CHECKED);
        Edit(kText)->setText(bad);
        Edit(kTime)->setText(bad);
        EXPECT_FALSE(dlg.UpdateFields());
        ASSERT_EQ(watcher.Seen().size(), 1u);
        EXPECT_EQ(watcher.Seen()[0].text, "Please enter an integer between 2000 and 15000.");
        EXPECT_EQ(watcher.Seen()[0].icon, QMessageBox::Warning);
        EXPECT_EQ(watcher.Seen()[0].caption, "Dialog Tests");
        // Rows before hold their new values, the field keeps what was read, rows after
        // are not read.
        EXPECT_EQ(dlg.m_text, bad);
        EXPECT_EQ(dlg.m_time, static_cast<UINT>(std::stoul(bad)));
        EXPECT_EQ(dlg.m_plain, 0);
        // Focus in the failing edit with all its text selected.
        EXPECT_EQ(dlg.GetSafeHwnd()->focusWidget(), Edit(kTime));
        EXPECT_EQ(Edit(kTime)->selectedText(), bad);
        // Still so once the window is active again after the box, however late that
        // comes, and after what the activation set going in the controls has run.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return dlg.GetSafeHwnd()->isActiveWindow() && Edit(kTime)->hasFocus(); }, 10000));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(dlg.GetSafeHwnd()->focusWidget(), Edit(kTime));
        EXPECT_EQ(Edit(kTime)->selectedText(), bad);
    }
    Edit(kTime)->setText("2000");
    EXPECT_TRUE(dlg.UpdateFields());
    EXPECT_EQ(dlg.m_plain, 1);
}

TEST_F(Exchange, TextThatDoesNotParseKeepsTheOldValue) {
    struct Case {
        int id;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {kTime, "", "Please enter a positive integer."},
        {kTime, "-5", "Please enter a positive integer."},
        {kTime, "12 34", "Please enter a positive integer."},
        {kTime, "99999999999", "Please enter a positive integer."},
        {kGain, "abc", "Please enter a number."},
        {kGain, "1.5x", "Please enter a number."},
        {kGain, "", "Please enter a number."},
    };
    for (const Case& c : cases) {
        MessageBoxWatcher watcher;
        dlg.m_time = 5000;
        dlg.m_gain = 7.0;
        dlg.UpdateControls();
        Edit(c.id)->setText(c.text);
        EXPECT_FALSE(dlg.UpdateFields()) << c.text;
        ASSERT_EQ(watcher.Seen().size(), 1u) << c.text;
        EXPECT_EQ(watcher.Seen()[0].text, c.message) << c.text;
        EXPECT_EQ(dlg.m_time, 5000u) << c.text;
        EXPECT_EQ(dlg.m_gain, 7.0) << c.text;
        EXPECT_EQ(dlg.GetSafeHwnd()->focusWidget(), Edit(c.id)) << c.text;
    }
}
