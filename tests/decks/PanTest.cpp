// The pan sliders and "Full Stereo", heard on the mixed output: the pan reaches the
// library only when the mouse lets go of a slider or the button is pressed.
#include "WindowFixture.h"

#include <QSlider>
#include <QTest>

#include <cstdlib>
#include <utility>

using namespace corvaline::testsupport;

namespace {

// Left 0.4 and right 0.2: full stereo gives (13107, 6554); any pan gives the fold 0.3
// (9830) spread by the linear law.
constexpr int kStereoLeft = 13107;
constexpr int kStereoRight = 6554;
constexpr int kFold = 9830;

class PanTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetPath(WriteWav("track.wav", 4 * 44100, Constant(0.4f, 0.2f)));
    }

    void ReleaseAt(int slider, int x) { DragSlider(slider, {x, SliderThumb(slider).y()}); }
    void ReleaseFarLeft(int slider) { ReleaseAt(slider, -50); }
    void ReleaseFarRight(int slider) { ReleaseAt(slider, Slider(slider)->width() + 50); }
    void ReleaseWhereItIs(int slider) { ReleaseAt(slider, SliderThumb(slider).x()); }

    // What the next settled block holds, as one frame: the file is steady.
    std::pair<int, int> Heard() {
        MixSettled();
        return {Out().Left(0), Out().Right(0)};
    }
};

using Frame = std::pair<int, int>;

// A stop overlapping a start can lift the level control's gain by a hair.
::testing::AssertionResult Near(const Frame& heard, const Frame& expected) {
    if (std::abs(heard.first - expected.first) <= 3 &&
        std::abs(heard.second - expected.second) <= 3) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "heard (" << heard.first << ", " << heard.second << "), expected (" << expected.first
           << ", " << expected.second << ")";
}

} // namespace

TEST_F(PanTest, ReleasingSliderOnePansDeckOneWhereItWasLetGo) {
    Click(IDC_TOCAR_1);
    ReleaseFarLeft(IDC_PAN_1);
    EXPECT_EQ(Dlg().m_panSlider1.GetPos(), 0);
    EXPECT_TRUE(Near(Heard(), Frame(kFold, 0)));

    // Keys move the slider and nothing else.
    QSlider* slider = Slider(IDC_PAN_1);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(Dlg().m_panSlider1.GetPos(), CCorvalineDlg::kPanRight);
    EXPECT_TRUE(Near(Heard(), Frame(kFold, 0)));

    ReleaseFarRight(IDC_PAN_1);
    EXPECT_TRUE(Near(Heard(), Frame(0, kFold)));

    // The centre is a pan like any other, not full stereo.
    Dlg().m_panSlider1.SetPos(CCorvalineDlg::kCentrePan);
    ReleaseWhereItIs(IDC_PAN_1);
    EXPECT_EQ(Dlg().m_panSlider1.GetPos(), CCorvalineDlg::kCentrePan);
    const Frame centre = Heard();
    EXPECT_NEAR(centre.first, kFold * 127 / 255, 2);
    EXPECT_NEAR(centre.second, kFold * 128 / 255, 2);
}

TEST_F(PanTest, FullStereoRestoresBothSidesAndCentresTheSlider) {
    Click(IDC_TOCAR_1);
    ReleaseFarLeft(IDC_PAN_1);
    ASSERT_TRUE(Near(Heard(), Frame(kFold, 0)));
    Click(IDC_FULL_STEREO_1);
    EXPECT_EQ(Dlg().m_panSlider1.GetPos(), CCorvalineDlg::kCentrePan);
    EXPECT_TRUE(Near(Heard(), Frame(kStereoLeft, kStereoRight)));

    // A release at 128 afterwards passes 128 itself.
    ReleaseWhereItIs(IDC_PAN_1);
    EXPECT_NEAR(Heard().first, kFold * 127 / 255, 2);
}

TEST_F(PanTest, DeckTwoPansItsOwnChannelEvenWhileStopped) {
    ReleaseFarLeft(IDC_PAN_2);
    Click(IDC_TOCAR_2);
    EXPECT_TRUE(Near(Heard(), Frame(kFold, 0)));
    Click(IDC_PARAR_2);
    Click(IDC_TOCAR_1);
    EXPECT_TRUE(Near(Heard(), Frame(kStereoLeft, kStereoRight))) << "channel 0 untouched";
    Click(IDC_PARAR_1);

    Click(IDC_FULL_STEREO_2);
    EXPECT_EQ(Dlg().m_panSlider2.GetPos(), CCorvalineDlg::kCentrePan);
    Click(IDC_TOCAR_2);
    EXPECT_TRUE(Near(Heard(), Frame(kStereoLeft, kStereoRight)));
}
