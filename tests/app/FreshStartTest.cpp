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
// clang-format off
const std::vector<int> kTabStops = {
    IDOK, IDC_PATH, IDC_PROCURAR, IDC_TOCAR_1, IDC_PARAR_1,
    IDC_SCALE, IDC_PAN_1, IDC_FULL_STEREO_1, IDC_COMPRESSOR, IDC_GAIN,
    IDC_FADE_OUT_1, IDC_FADE_IN_1, IDC_TOCAR_2, IDC_PARAR_2, IDC_PAN_2,
    IDC_FULL_STEREO_2, IDC_FADE_OUT_2, IDC_FADE_IN_2, IDC_OUT_TO_2, IDC_OUT_TO_1,
    IDC_CROSSFADE, IDC_AUTO_CROSSFADE, IDC_CROSSFADE_MS, IDC_SEQUENCE_GRID,
    IDC_ADICIONAR_FICHEIRO, IDC_ADICIONAR_DIRECTORIO, IDC_SUBDIRS, IDC_RANDOMIZE,
    IDC_EXECUTE, IDC_CANCEL_LIST, IDC_CLEAR};

const std::vector<int> kButtons = {
    IDOK, IDC_PROCURAR, IDC_TOCAR_1, IDC_PARAR_1, IDC_FULL_STEREO_1,
    IDC_FADE_OUT_1, IDC_FADE_IN_1, IDC_TOCAR_2, IDC_PARAR_2, IDC_FULL_STEREO_2,
    IDC_FADE_OUT_2, IDC_FADE_IN_2, IDC_OUT_TO_2, IDC_OUT_TO_1, IDC_CROSSFADE,
    IDC_ADICIONAR_FICHEIRO, IDC_ADICIONAR_DIRECTORIO, IDC_RANDOMIZE, IDC_EXECUTE, IDC_CLEAR};
// clang-format on

} // namespace

TEST_F(WindowTest, FreshStartShowsTheStartValues) {
    EXPECT_EQ(Text(IDC_PATH), "H:\\MPEG AUDIO\\*.MP*");
    EXPECT_EQ(Text(IDC_GAIN), "0");
    EXPECT_EQ(Text(IDC_CROSSFADE_MS), "5000");
    EXPECT_FALSE(Checked(IDC_COMPRESSOR));
    EXPECT_FALSE(Checked(IDC_AUTO_CROSSFADE));
    EXPECT_FALSE(Checked(IDC_SUBDIRS));

    for (CSliderCtrl* pan : {&Dlg().m_panSlider1, &Dlg().m_panSlider2}) {
        EXPECT_EQ(pan->GetRangeMin(), 0);
        EXPECT_EQ(pan->GetRangeMax(), CCorvalineDlg::kPanRight);
        EXPECT_EQ(pan->GetPos(), CCorvalineDlg::kCentrePan);
    }
    EXPECT_EQ(Dlg().m_scaleSlider.GetRangeMin(), 0);
    EXPECT_EQ(Dlg().m_scaleSlider.GetRangeMax(), 95);
    EXPECT_EQ(Dlg().m_scaleSlider.GetPos(), 45);
    EXPECT_EQ(Dlg().m_sequenceList.GetCount(), 0);

    for (int button : kButtons) {
        EXPECT_TRUE(Enabled(button)) << button;
        EXPECT_TRUE(Visible(button)) << button;
    }
    EXPECT_FALSE(Enabled(IDC_CANCEL_LIST));
    EXPECT_TRUE(Visible(IDC_CANCEL_LIST));
    EXPECT_FALSE(Visible(IDCANCEL));
    EXPECT_FALSE(Enabled(IDCANCEL));

    EXPECT_EQ(Dlg().m_playing1, 0);
    EXPECT_EQ(Dlg().m_playing2, 0);
    EXPECT_EQ(Dlg().m_volume1, 0);
    EXPECT_EQ(Dlg().m_volume2, 0);
    EXPECT_EQ(Dlg().m_compressorUnit, nullptr);
    EXPECT_EQ(Dlg().m_panelsFresh, 1);
    EXPECT_EQ(Dlg().m_soundInitFailed, 0);
    EXPECT_TRUE(m_tickTimerStarted);

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
    ASSERT_EQ(window->focusWidget(), Control(IDOK));

    // A disabled control is passed over by Tab.
    std::vector<int> expected;
    for (int stop : kTabStops) {
        if (stop != IDC_CANCEL_LIST) {
            expected.push_back(stop);
        }
    }
    std::vector<int> seen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        seen.push_back(window->focusWidget()->objectName().toInt());
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(window->focusWidget(), Control(IDOK)) << "Tab wraps round to the start";

    Dlg().GetDlgItem(IDC_CANCEL_LIST)->EnableWindow(TRUE);
    Control(IDC_EXECUTE)->setFocus();
    QTest::keyClick(Control(IDC_EXECUTE), Qt::Key_Tab);
    EXPECT_EQ(window->focusWidget(), Control(IDC_CANCEL_LIST));
}

TEST_F(WindowTest, ControlsStandWhereTheirDialogUnitsPlaceThem) {
    // Dialog units of 1.5 x 1.625 pixels, rounded to the nearest pixel.
    struct Placed {
        int id;
        QRect pixels;
    };
    const Placed placed[] = {
        {IDOK, {383, 488, 75, 23}},               // 255, 300, 50 x 14
        {IDC_SEQUENCE_GRID, {480, 73, 315, 414}}, // 320, 45, 210 x 255
        {IDC_PAN_1, {195, 81, 270, 16}},          // 130, 50, 180 x 10
        {IDC_SUBDIRS, {713, 41, 62, 16}},         // 475, 25, 41 x 10
        {IDC_GAIN, {53, 488, 75, 20}},            // 35, 300, 50 x 12
        {IDCANCEL, {383, 488, 75, 23}},           // under "SAIR"
    };
    for (const Placed& p : placed) {
        EXPECT_EQ(Control(p.id)->geometry(), p.pixels) << p.id;
    }

    CRect client;
    Dlg().GetClientRect(&client);
    EXPECT_EQ(client.Width(), 806);  // 537 units
    EXPECT_EQ(client.Height(), 531); // 327 units
}

// Full stereo leaves left on left and right on right; the centre pan 128 would fold the
// two sides together, and this file's sides cancel in the fold.
TEST_F(WindowTest, BothChannelsStartInFullStereo) {
    SetPath(WriteWav("stereo.wav", 44100, Constant(0.25f, -0.125f)));
    Click(IDC_TOCAR_1);
    MixSettled();
    EXPECT_EQ(Out().Left(10), 8192);
    EXPECT_EQ(Out().Right(10), -4096);

    Click(IDC_PARAR_1);
    Click(IDC_TOCAR_2);
    MixSettled();
    EXPECT_EQ(Out().Left(10), 8192);
    EXPECT_EQ(Out().Right(10), -4096);
}

namespace {

class LiveWindowTest : public WindowTest {
  protected:
    LiveWindowTest() { m_keepTickTimer = true; }
};

} // namespace

TEST_F(LiveWindowTest, TimerTicksEvery25MillisecondsUntilNothingMoves) {
    const auto running = [this] {
        std::vector<QTimer*> found;
        for (QTimer* timer : Dlg().GetSafeHwnd()->findChildren<QTimer*>()) {
            if (timer->isActive()) {
                found.push_back(timer);
            }
        }
        return found;
    };
    ASSERT_EQ(running().size(), 1u);
    EXPECT_EQ(running()[0]->interval(), 25);

    // The first tick runs the panels' start-up sweep.
    EXPECT_TRUE(QTest::qWaitFor([this] { return Dlg().m_panelsFresh == 0; }, 5000));
    // Once the needles have fallen and nothing plays, no tick could change anything: the
    // timer sleeps, and a deck's start wakes it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return running().empty(); }, 5000));
    EXPECT_EQ(Dlg().m_panel1.m_needle, 0);
    SetPath(WriteWav("tone.wav", 44100, Constant(0.25f, 0.25f)));
    Click(IDC_TOCAR_1);
    ASSERT_EQ(running().size(), 1u);
    EXPECT_EQ(running()[0]->interval(), 25);
}
