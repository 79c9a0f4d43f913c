#include "CompressorUnit.h"
#include "WindowFixture.h"

#include <QSlider>

using namespace corvaline::testsupport;

namespace {

using MeterFeedTest = WindowTest;

TEST_F(MeterFeedTest, FeedMeterShowsThePeakOnTheNeedleAndTakesIt) {
    CClientDC dc(&Dlg());
    Dlg().m_panel1.SetDC(&dc);
    std::atomic<int> peak{32767};
    Dlg().FeedMeter(Dlg().m_panel1, peak);
    Dlg().m_panel1.SetDC(nullptr);
    EXPECT_EQ(Dlg().m_panel1.m_needle, 99);
    EXPECT_EQ(peak.load(), 0);
}

TEST_F(MeterFeedTest, LettingGoOfTheScaleSliderRescalesOnlyTheUpperSpectrum) {
    EXPECT_EQ(Dlg().m_panel1.m_scale, 500.0f); // not the 550 of the slider's start
    const int x = SliderThumb(IDC_SCALE).x();
    DragSlider(IDC_SCALE, {x, -100}); // the top end
    EXPECT_EQ(Dlg().m_scaleSlider.GetPos(), 0);
    EXPECT_EQ(Dlg().m_panel1.m_scale, 1000.0f);
    DragSlider(IDC_SCALE, {x, Slider(IDC_SCALE)->height() + 100});
    EXPECT_EQ(Dlg().m_scaleSlider.GetPos(), 95);
    EXPECT_EQ(Dlg().m_panel1.m_scale, 50.0f);
    EXPECT_EQ(Dlg().m_panel2.m_scale, 500.0f);
}

// Minimised, a tick draws neither needle nor spectrum, yet a clip the mixer reports still
// lights the lamp of its side. The panels are painted over with a marker colour first, so
// that any drawing at all shows.
TEST_F(MeterFeedTest, AMinimisedTickDrawsOnlyTheOverloadLampOfTheSideThatClipped) {
    SetPath(WriteWav("track.wav", 5 * 44100L, Constant(0.25f, 0.25f)));
    Click(IDC_TOCAR_1);
    ASSERT_EQ(Dlg().m_playing1, 1);
    // The sweep lights both lamps; they go out as the needles fall back to zero.
    Tick(12);

    constexpr COLORREF kMarker = RGB(1, 2, 3);
    const int panelTops[] = {CCorvalineDlg::kPanel1Top, CCorvalineDlg::kPanel2Top};
    auto isLampPixel = [](int dx, int dy) { return dx >= 120 && dx < 135 && dy >= 67 && dy < 73; };
    // Pixels of panel `p` (meter and spectrum boxes) that are not the marker, lamps aside.
    auto drawnOver = [&](int p) {
        CClientDC dc(&Dlg());
        int count = 0;
        for (int dy = 0; dy < 100; ++dy) {
            for (int dx = 0; dx < 155 + 257; ++dx) {
                count += !isLampPixel(dx, dy) && dc.GetPixel(20 + dx, panelTops[p] + dy) != kMarker;
            }
        }
        return count;
    };
    auto lamp = [&](int p) { return CClientDC(&Dlg()).GetPixel(20 + 127, panelTops[p] + 70); };

    Dlg().ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(Dlg().IsIconic());
    {
        CClientDC dc(&Dlg());
        for (int top : panelTops) {
            dc.FillSolidRect(20, top, 155 + 257, 100, kMarker);
        }
    }
    const int needle = Dlg().m_panel1.m_needle;
    g_peakLeft.store(30000);
    Mix(4); // a spectrum to draw, were the window shown

    Tick();
    EXPECT_EQ(lamp(0), kMarker) << "no clip, no lamp";
    g_clipLeft.store(1);
    Tick();
    EXPECT_EQ(lamp(0), RGB(255, 20, 20));
    EXPECT_EQ(lamp(1), kMarker);
    EXPECT_EQ(g_clipLeft.load(), 0) << "the clip was taken";
    g_clipRight.store(1);
    Tick();
    EXPECT_EQ(lamp(1), RGB(255, 20, 20));

    EXPECT_EQ(drawnOver(0), 0);
    EXPECT_EQ(drawnOver(1), 0);
    EXPECT_EQ(Dlg().m_panel1.m_needle, needle);
    EXPECT_GT(g_peakLeft.load(), 0) << "the meter's peak is left for a shown tick";
}

} // namespace
