// The window as it opens: what every control shows, where it stands, the keyboard's way
// through it, and the library state its set-up leaves.
#include "WindowFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <vector>

using namespace corvaline::testsupport;

namespace {

// Every control that takes the focus with Tab, in the order the window lists them.
const std::vector<int> kTabStops = {
    id::kOk,           id::kPath,          id::kBrowse,      id::kPlay1,      id::kStop1,
    id::kScale,        id::kPan1,          id::kFullStereo1, id::kCompressor, id::kGain,
    id::kFadeOut1,     id::kFadeIn1,       id::kPlay2,       id::kStop2,      id::kPan2,
    id::kFullStereo2,  id::kFadeOut2,      id::kFadeIn2,     id::kOutTo2,     id::kOutTo1,
    id::kCrossFade,    id::kAutoCrossfade, id::kCrossfadeMs, id::kSequence,   id::kAddFile,
    id::kAddDirectory, id::kSubDirs,       id::kRandomize,   id::kExecute,    id::kCancelList,
    id::kClear};

const std::vector<int> kButtons = {
    id::kOk,       id::kBrowse,       id::kPlay1,     id::kStop1,   id::kFullStereo1,
    id::kFadeOut1, id::kFadeIn1,      id::kPlay2,     id::kStop2,   id::kFullStereo2,
    id::kFadeOut2, id::kFadeIn2,      id::kOutTo2,    id::kOutTo1,  id::kCrossFade,
    id::kAddFile,  id::kAddDirectory, id::kRandomize, id::kExecute, id::kClear};

} // namespace

TEST_F(WindowTest, FreshStartShowsTheStartValues) {
    EXPECT_EQ(Text(id::kPath), "H:\\MPEG AUDIO\\*.MP*");
    EXPECT_EQ(Text(id::kGain), "0");
    EXPECT_EQ(Text(id::kCrossfadeMs), "5000");
    EXPECT_FALSE(Checked(id::kCompressor));
    EXPECT_FALSE(Checked(id::kAutoCrossfade));
    EXPECT_FALSE(Checked(id::kSubDirs));

    for (CSliderCtrl* pan : {&Dlg().m_panSlider1, &Dlg().m_panSlider2}) {
        EXPECT_EQ(pan->GetRangeMin(), 0);
        EXPECT_EQ(pan->GetRangeMax(), 255);
        EXPECT_EQ(pan->GetPos(), 128);
    }
    EXPECT_EQ(Dlg().m_scaleSlider.GetRangeMin(), 0);
    EXPECT_EQ(Dlg().m_scaleSlider.GetRangeMax(), 95);
    EXPECT_EQ(Dlg().m_scaleSlider.GetPos(), 45);
    EXPECT_EQ(Dlg().m_sequenceList.GetCount(), 0);

    for (int button : kButtons) {
        EXPECT_TRUE(Enabled(button)) << button;
        EXPECT_TRUE(Visible(button)) << button;
    }
    EXPECT_FALSE(Enabled(id::kCancelList));
    EXPECT_TRUE(Visible(id::kCancelList));
    EXPECT_FALSE(Visible(id::kCancel));
    EXPECT_FALSE(Enabled(id::kCancel));

    EXPECT_EQ(Dlg().m_playing1, 0);
    EXPECT_EQ(Dlg().m_playing2, 0);
    EXPECT_EQ(Dlg().m_volume1, 0);
    EXPECT_EQ(Dlg().m_volume2, 0);
    EXPECT_EQ(Dlg().m_compressorUnit, nullptr);
    EXPECT_EQ(Dlg().m_panelsFresh, 1);
    EXPECT_EQ(Dlg().m_soundInitFailed, 0);
    EXPECT_TRUE(tickTimerStarted_);

    EXPECT_EQ(Dlg().GetIcon(TRUE), AfxFindIcon(128));
    EXPECT_EQ(Dlg().GetIcon(FALSE), AfxFindIcon(128));
    CMenu* menu = Dlg().GetSystemMenu(FALSE);
    ASSERT_NE(menu, nullptr);
    const int items = menu->GetMenuItemCount();
    ASSERT_GE(items, 2);
    EXPECT_EQ(menu->GetMenuItemID(items - 2), 0u) << "a separator before the entry";
    EXPECT_EQ(menu->GetMenuItemID(items - 1), 16u);
    std::string entry;
    menu->GetMenuString(16, entry, MF_BYCOMMAND);
    EXPECT_EQ(entry, "&About Corvaline...");
}

TEST_F(WindowTest, FocusStartsOnSairAndTabFollowsCreationOrder) {
    QWidget* window = Dlg().GetSafeHwnd();
    ASSERT_EQ(window->focusWidget(), Control(id::kOk));

    // A disabled control is passed over by Tab.
    std::vector<int> expected;
    for (int stop : kTabStops)
        if (stop != id::kCancelList)
            expected.push_back(stop);
    std::vector<int> seen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        seen.push_back(window->focusWidget()->objectName().toInt());
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(window->focusWidget(), Control(id::kOk)) << "Tab wraps round to the start";

    Dlg().GetDlgItem(id::kCancelList)->EnableWindow(TRUE);
    Control(id::kExecute)->setFocus();
    QTest::keyClick(Control(id::kExecute), Qt::Key_Tab);
    EXPECT_EQ(window->focusWidget(), Control(id::kCancelList));
}

TEST_F(WindowTest, ControlsStandWhereTheirDialogUnitsPlaceThem) {
    // Dialog units of 1.5 x 1.625 pixels, rounded to the nearest pixel.
    struct Placed {
        int id;
        QRect pixels;
    };
    const Placed placed[] = {
        {id::kOk, {383, 488, 75, 23}},        // 255, 300, 50 x 14
        {id::kSequence, {480, 73, 315, 414}}, // 320, 45, 210 x 255
        {id::kPan1, {195, 81, 270, 16}},      // 130, 50, 180 x 10
        {id::kSubDirs, {713, 41, 62, 16}},    // 475, 25, 41 x 10
        {id::kGain, {53, 488, 75, 20}},       // 35, 300, 50 x 12
        {id::kCancel, {383, 488, 75, 23}},    // under "SAIR"
    };
    for (const Placed& p : placed)
        EXPECT_EQ(Control(p.id)->geometry(), p.pixels) << p.id;

    CRect client;
    Dlg().GetClientRect(&client);
    EXPECT_EQ(client.Width(), 806);  // 537 units
    EXPECT_EQ(client.Height(), 531); // 327 units
}

// Full stereo leaves left on left and right on right; the centre pan 128 would fold the
// two sides together, and this file's sides cancel in the fold.
TEST_F(WindowTest, BothChannelsStartInFullStereo) {
    SetPath(WriteWav("stereo.wav", 44100, Constant(0.25f, -0.125f)));
    Click(id::kPlay1);
    MixSettled();
    EXPECT_EQ(Out().Left(10), 8192);
    EXPECT_EQ(Out().Right(10), -4096);

    Click(id::kStop1);
    Click(id::kPlay2);
    MixSettled();
    EXPECT_EQ(Out().Left(10), 8192);
    EXPECT_EQ(Out().Right(10), -4096);
}

namespace {

class LiveWindowTest : public WindowTest {
  protected:
    LiveWindowTest() { keepTickTimer_ = true; }
};

} // namespace

TEST_F(LiveWindowTest, TimerTicksEvery25Milliseconds) {
    std::vector<QTimer*> running;
    for (QTimer* timer : Dlg().GetSafeHwnd()->findChildren<QTimer*>())
        if (timer->isActive())
            running.push_back(timer);
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0]->interval(), 25);

    // The first tick runs the panels' start-up sweep.
    EXPECT_TRUE(QTest::qWaitFor([this] { return Dlg().m_panelsFresh == 0; }, 5000));
}
