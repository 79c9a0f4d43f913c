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
    const int x = SliderThumb(id::kScale).x();
    DragSlider(id::kScale, {x, -100}); // the top end
    EXPECT_EQ(Dlg().m_scaleSlider.GetPos(), 0);
    EXPECT_EQ(Dlg().m_panel1.m_scale, 1000.0f);
    DragSlider(id::kScale, {x, Slider(id::kScale)->height() + 100});
    EXPECT_EQ(Dlg().m_scaleSlider.GetPos(), 95);
    EXPECT_EQ(Dlg().m_panel1.m_scale, 50.0f);
    EXPECT_EQ(Dlg().m_panel2.m_scale, 500.0f);
}

} // namespace
