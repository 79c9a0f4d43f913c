#include "SpectrumPanel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int X = 20, Y = 225, SX = X + CSpectrumPanel::kSpectrumOffset;
constexpr COLORREF kFill = RGB(20, 40, 20), kNeedle = RGB(255, 50, 50);
constexpr COLORREF kLit = RGB(255, 20, 20), kUnlit = RGB(50, 50, 50);

// 450 x 488 pixels of client area, room for a panel at either of the window's places.
constexpr DialogTemplate kSurface{"Panels", 300, 300, "MS Sans Serif", 8, DlgStyle::None, {}};

struct SpectrumPanelTest : ::testing::Test {
    CDialog surface{kSurface};
    CClientDC dc{&surface};
    CSpectrumPanel panel;
    void SetUp() override {
        surface.Create();
        panel.SetDC(&dc);
        panel.Place(X, Y);
        panel.SetScale(500.0f);
    }
    COLORREF At(int dx, int dy) const { return dc.GetPixel(X + dx, Y + dy); }
    COLORREF Lamp() const { return At(127, 70); }
    // How many of twelve points of the needle's line at v, between the cover plate and the
    // tip, are needle-coloured; a two-pixel pen covers the pixel holding each point.
    int NeedlePoints(int v) const {
        const double theta = (v - 50) * std::acos(-1.0) / 180.0;
        const double dx = std::trunc(std::sin(theta) * 75), dy = std::trunc(std::cos(theta) * 87);
        int count = 0;
        for (int k = 0; k < 12; ++k) {
            const double f = 0.3 + 0.05 * k;
            count += At(static_cast<int>(std::floor(75 + f * dx)),
                        static_cast<int>(std::floor(89 - f * dy))) == kNeedle;
        }
        return count;
    }
    int ColumnHeight(int i) const {
        int h = 0;
        while (h < 100 && dc.GetPixel(SX + 1 + i, Y + 98 - h) == RGB(200, 200, 0)) {
            ++h;
        }
        return h;
    }
};

TEST_F(SpectrumPanelTest, FrameDrawsBothBoxesAndEveryOperationRestoresPenAndBrush) {
    EXPECT_EQ(At(0, 0), RGB(255, 255, 30));
    EXPECT_EQ(At(149, 99), RGB(150, 150, 50));
    EXPECT_EQ(At(1, 1), RGB(0, 0, 0));
    EXPECT_EQ(At(75, 50), kFill);
    EXPECT_EQ(dc.GetPixel(SX, Y), RGB(100, 255, 100));
    EXPECT_EQ(dc.GetPixel(SX + 256, Y + 99), RGB(10, 255, 10));
    EXPECT_EQ(dc.GetPixel(SX + 128, Y + 50), kFill);

    panel.Sweep();
    panel.DrawSpectrum(std::vector<float>(512, 0.1f).data());
    dc.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(dc.GetPixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(2, 2), RGB(255, 255, 255));

    CSpectrumPanel unset; // no surface: nothing drawn, the meter still counts
    unset.Place(X, Y + 120);
    unset.Sweep();
    EXPECT_NE(At(0, 120), RGB(255, 255, 30));
    EXPECT_EQ(unset.m_level, 100);
}

TEST_F(SpectrumPanelTest, NeedleMovesUnderTheCoverPlateAndIgnoresRepeatsAndOffScaleValues) {
    for (int v : {50, 0, 100}) {
        panel.DrawNeedle(v);
        EXPECT_EQ(NeedlePoints(v), 12) << v;
        EXPECT_EQ(At(75, 85), RGB(100, 50, 40)) << v; // the plate hides the pivot
        EXPECT_EQ(At(26, 38), RGB(200, 200, 200));    // inner end of the -50 degree tick
    }
    EXPECT_EQ(NeedlePoints(0), 0);
    EXPECT_EQ(NeedlePoints(50), 0);

    dc.SetPixel(X + 75, Y + 5, RGB(1, 2, 3)); // on the 0 degree tick
    for (int v : {100, -1, 101}) {
        panel.DrawNeedle(v);
    }
    EXPECT_EQ(At(75, 5), RGB(1, 2, 3));
    EXPECT_EQ(panel.m_needle, 100);
}

TEST_F(SpectrumPanelTest, LampStaysLitForNineNeedleMovesAndAnOverloadDoesNotRestartIt) {
    panel.UpdateLamp(1);
    EXPECT_EQ(Lamp(), kLit);
    EXPECT_EQ(At(120, 67), RGB(30, 30, 30));
    panel.DrawNeedle(panel.m_needle); // a repeat does not count
    for (int v = 1; v <= 4; ++v) {
        panel.DrawNeedle(v);
    }
    panel.UpdateLamp(1);
    for (int v = 5; v <= 7; ++v) {
        panel.DrawNeedle(v);
    }
    EXPECT_EQ(Lamp(), kLit);
    panel.DrawNeedle(8);
    EXPECT_EQ(Lamp(), kUnlit);
}

TEST_F(SpectrumPanelTest, ColumnsRiseAtOnceStopAt98AndFallTenPerCall) {
    std::vector<float> s(512, 0.0f);
    s[0] = s[1] = 0.05f; // 0.1 at scale 500
    s[2] = s[3] = 0.1f;  // 0.2: 100 capped
    s[4] = -1.0f;
    s[6] = s[7] = 0.05f;
    s[510] = s[511] = 1.0f;
    panel.DrawSpectrum(s.data());
    EXPECT_EQ(ColumnHeight(0), 50);
    EXPECT_EQ(dc.GetPixel(SX + 1, Y + 48), RGB(20, 40, 100));
    EXPECT_EQ(ColumnHeight(1), 98);
    EXPECT_EQ(dc.GetPixel(SX + 2, Y), RGB(100, 255, 100));
    EXPECT_EQ(dc.GetPixel(SX + 3, Y + 99), RGB(10, 255, 10));   // nothing below the box
    EXPECT_EQ(dc.GetPixel(SX + 256, Y + 50), RGB(10, 255, 10)); // 510 and 511 unseen

    const std::vector<float> zeros(512, 0.0f);
    for (int expected : {50, 40, 30, 20, 10, 0}) {
        panel.DrawSpectrum(zeros.data());
        EXPECT_EQ(ColumnHeight(0), expected);
    }

    // After a paint only the area above the held height is erased; the fill shows below.
    panel.DrawSpectrum(s.data());
    panel.DrawFrame();
    panel.DrawSpectrum(zeros.data());
    EXPECT_EQ(dc.GetPixel(SX + 4, Y + 30), RGB(20, 40, 100));
    EXPECT_EQ(dc.GetPixel(SX + 4, Y + 60), kFill);
}

// Between paints a column draws only the rows its lines would change; a panel made to draw
// the whole lines every time, on a surface of its own, must show the very same box.
TEST_F(SpectrumPanelTest, ColumnsDrawnInPartsShowWhatWholeLinesWould) {
    CDialog otherSurface{kSurface};
    otherSurface.Create();
    CClientDC otherDc{&otherSurface};
    CSpectrumPanel whole;
    whole.SetDC(&otherDc);
    whole.Place(X, Y);
    whole.SetScale(500.0f);
    std::vector<float> s(512, 0.0f);
    unsigned seed = 7;
    for (int call = 0; call < 60; ++call) {
        for (float& bin : s) {
            seed = seed * 1103515245u + 12345u;
            const unsigned r = (seed >> 16) % 100;
            // Rises, falls, silence, repeats and peaks above the box.
            bin = call % 9 == 4 ? 0.0f : (r < 30 ? 0.0f : static_cast<float>(r) / 900.0f);
        }
        if (call % 13 == 6) {
            panel.DrawFrame();
            whole.DrawFrame();
        }
        // A call with no surface lets the held heights fall without drawing them.
        if (call % 11 == 3) {
            panel.SetDC(nullptr);
            panel.DrawSpectrum(nullptr);
            panel.SetDC(&dc);
            whole.SetDC(nullptr);
            whole.DrawSpectrum(nullptr);
            whole.SetDC(&otherDc);
        }
        whole.m_columnsShown = false;
        panel.DrawSpectrum(s.data());
        whole.DrawSpectrum(s.data());
        for (int y = 0; y < CSpectrumPanel::kBoxHeight; ++y) {
            for (int x = 0; x < CSpectrumPanel::kSpectrumWidth; ++x) {
                ASSERT_EQ(dc.GetPixel(SX + x, Y + y), otherDc.GetPixel(SX + x, Y + y))
                    << "call " << call << " at " << x << ", " << y;
            }
        }
    }
}

TEST_F(SpectrumPanelTest, SweepLightsTheLampThenTheMeterHoldsAndFallsByFive) {
    panel.Sweep();
    EXPECT_EQ(NeedlePoints(99), 12);
    EXPECT_EQ(Lamp(), kLit);
    std::vector<int> shown;
    for (int tick = 0; tick < 22; ++tick) {
        panel.SetLevel(0.0f);
        shown.push_back(panel.m_needle);
        EXPECT_EQ(Lamp(), tick < 8 ? kLit : kUnlit) << tick;
    }
    EXPECT_EQ(shown[0], 100);
    EXPECT_EQ(shown[1], 95);
    EXPECT_EQ(shown[20], 0);

    panel.SetLevel(1.0f);
    panel.SetLevel(0.3f); // lower than the held level, which goes on falling
    EXPECT_EQ(panel.m_needle, 95);
    panel.SetLevel(2.0f);
    EXPECT_EQ(panel.m_needle, 100);
}

} // namespace
