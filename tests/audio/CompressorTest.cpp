// The compressor unit's transfer and its block routine, called directly: the
// curve, the gain factor and its saturation, the running peak, the overload
// flags and the steps of the level control at their thresholds.
#include "CompressorState.h"
#include "CompressorUnit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

class CompressorTest : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() { ResetCompressorState(); }

    static void Option(bool on) { g_compressorOn.store(on ? 1 : 0, kRelaxed); }
    static double Gain() { return g_gain.load(kRelaxed); }

    // A block of `frames` frames holding the same left and right samples, run
    // through the unit; returns the processed block.
    static std::vector<std::int16_t> Run(int frames, std::int16_t left, std::int16_t right) {
        std::vector<std::int16_t> block;
        for (int i = 0; i < frames; ++i) {
            block.push_back(left);
            block.push_back(right);
        }
        // Never handed an empty vector's null data: the unit must cope with a
        // real buffer of zero frames.
        block.reserve(2);
        void* result = CompressorCallback(block.data(), nullptr, frames, nullptr);
        EXPECT_EQ(result, block.data());
        return block;
    }
};

std::string Shown(double g) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", 15, g);
    return text;
}

TEST_F(CompressorTest, AtUnityGainTheOptionSelectsStraightLineOrSineCurve) {
    for (int x = -32768; x <= 32767; ++x) {
        ASSERT_EQ(TransferSample(static_cast<short>(x), 0.0), x);
    }

    Option(true);
    const struct {
        short x;
        int y;
    } cases[] = {{0, 0},         {1, 1},           {2, 3},         {8192, 12539},
                 {16384, 23170}, {-16384, -23170}, {32767, 32767}, {-32768, -32768}};
    for (const auto& c : cases) {
        EXPECT_EQ(TransferSample(c.x, 0.0), c.y) << "x = " << c.x;
    }
}

TEST_F(CompressorTest, SineTableEqualsTheFormulaForEveryInput) {
    Option(true);
    const double pi = g_pi.load(kRelaxed);
    EXPECT_EQ(pi, 4.0 * std::atan(1.0));
    for (int x = -32768; x <= 32767; ++x) {
        const double formula = 32768.0 * std::sin(x * std::ldexp(1.0, -16) * pi);
        ASSERT_EQ(SineCurve(static_cast<short>(x)), formula) << "x = " << x;
        ASSERT_GE(formula, -32768.0);
        ASSERT_LT(formula, 32768.0);
        ASSERT_EQ(TransferSample(static_cast<short>(x), 0.0), static_cast<int>(formula))
            << "x = " << x;
    }
}

TEST_F(CompressorTest, GainMultipliesByETruncatesTowardZeroAndSaturates) {
    EXPECT_EQ(TransferSample(1000, 1.0), 2718);
    EXPECT_EQ(TransferSample(-1000, 1.0), -2718);
    EXPECT_EQ(TransferSample(20000, -1.0), 7357);
    EXPECT_EQ(TransferSample(20000, 1.0), 32767);
    EXPECT_EQ(TransferSample(-20000, 1.0), -32768);
    // A gain so large that e^g is infinite: silence stays silence, the rest
    // goes to the ends, never through an undefined conversion.
    EXPECT_EQ(TransferSample(0, 1000.0), 0);
    EXPECT_EQ(TransferSample(1, 1000.0), 32767);
    EXPECT_EQ(TransferSample(-1, 1000.0), -32768);
    EXPECT_EQ(TransferSample(32767, -1000.0), 0);

    Option(true);
    EXPECT_EQ(TransferSample(32767, 0.01), 32767);
    EXPECT_EQ(TransferSample(-32768, 0.01), -32768);
    EXPECT_EQ(TransferSample(8192, 0.5), 20674);

    // In the block the saturated value is what is stored, not a wrapped one.
    Option(false);
    g_gain.store(1.0, kRelaxed);
    const auto block = Run(1, 20000, -20000);
    EXPECT_EQ(block[0], 32767);
    EXPECT_EQ(block[1], -32768);
}

TEST_F(CompressorTest, RunningPeakMovesHalfwayToEachLouderSample) {
    const int expected[] = {16000, 24000, 28000, 30000, 31000, 31500};
    for (int frames = 1; frames <= 6; ++frames) {
        Reset();
        Run(frames, frames % 2 ? 32000 : -32000, 0);
        EXPECT_EQ(g_peakLeft.load(kRelaxed), expected[frames - 1]) << frames << " frames";
        EXPECT_EQ(g_clipLeft.load(kRelaxed), frames >= 5 ? 1 : 0) << frames << " frames";
        EXPECT_EQ(g_peakRight.load(kRelaxed), 0);
        EXPECT_EQ(g_clipRight.load(kRelaxed), 0);
    }

    // A long block approaches the magnitude but never reaches it.
    Reset();
    Run(1024, 32000, 0);
    EXPECT_EQ(g_peakLeft.load(kRelaxed), 31999);

    // The peak is the output's: after the curve, and -32768 counts as 32768.
    Reset();
    Option(true);
    Run(1, 16384, -32768);
    EXPECT_EQ(g_peakLeft.load(kRelaxed), 23170 / 2);
    EXPECT_EQ(g_peakRight.load(kRelaxed), 16384);
}

TEST_F(CompressorTest, SharedPeaksOnlyRiseUntilTakenAndEachSideHasItsOwn) {
    g_peakLeft.store(20000, kRelaxed);
    Run(1, 32000, 30000); // block peaks 16000 and 15000
    EXPECT_EQ(g_peakLeft.load(kRelaxed), 20000);
    EXPECT_EQ(g_peakRight.load(kRelaxed), 15000);
    g_gain.store(0.0, kRelaxed); // each block at unity, whatever the last one stepped
    Run(2, 32000, 0);            // 24000
    EXPECT_EQ(g_peakLeft.load(kRelaxed), 24000);
    EXPECT_EQ(g_peakRight.load(kRelaxed), 15000);

    g_gain.store(0.0, kRelaxed);
    Run(5, 0, -32000); // 31000 on the right alone
    EXPECT_EQ(g_clipLeft.load(kRelaxed), 0);
    EXPECT_EQ(g_clipRight.load(kRelaxed), 1);
    EXPECT_EQ(g_peakRight.load(kRelaxed), 31000);
}

TEST_F(CompressorTest, LevelControlStepsOncePerBlockAtItsThresholds) {
    struct Case {
        int frames;
        std::int16_t sample;
        int peak;
        double step;
        bool clip;
    };
    const double up = static_cast<double>(0.0001f);
    const double down = -static_cast<double>(0.025f);
    const Case cases[] = {
        {1, 30000, 15000, 0.0, false},    {1, 30002, 15001, up, false},
        {3, 32000, 28000, up, false},     {3, 32002, 28001, down, false},
        {4, 32000, 30000, down, false},   {4, 32002, 30001, down, true},
        {1024, 32000, 31999, down, true},
    };
    for (const Case& c : cases) {
        for (bool onRight : {false, true}) {
            Reset();
            g_gain.store(0.0, kRelaxed);
            Run(c.frames, onRight ? 0 : c.sample, onRight ? c.sample : 0);
            SCOPED_TRACE(std::to_string(c.frames) + " frames of " + std::to_string(c.sample) +
                         (onRight ? " on the right" : " on the left"));
            EXPECT_EQ(Gain(), c.step);
            EXPECT_EQ((onRight ? g_peakRight : g_peakLeft).load(kRelaxed), c.peak);
            EXPECT_EQ((onRight ? g_clipRight : g_clipLeft).load(kRelaxed), c.clip ? 1 : 0);
        }
    }
}

TEST_F(CompressorTest, OptionChangesTheUpwardStepButNotGainOrDownwardStep) {
    Run(1, 32000, 0);
    EXPECT_EQ(Shown(Gain()), "9.99999974737875e-05");

    g_gain.store(0.0, kRelaxed);
    Option(true);
    Run(2, 16384, 0); // 23170 out: peak 11585, then 17377
    EXPECT_EQ(g_peakLeft.load(kRelaxed), 17377);
    EXPECT_EQ(Shown(Gain()), "0.00100000004749745");

    // Off again: g carries on from where it is and only the curve changes.
    Option(false);
    const auto block = Run(1, 32000, 0);
    EXPECT_EQ(block[0], 32032);
    EXPECT_EQ(Gain(), static_cast<double>(0.001f) + static_cast<double>(0.0001f));

    for (bool on : {false, true}) {
        Option(on);
        g_gain.store(0.0, kRelaxed);
        Run(3, 32767, 0); // 32767 either way: peak 28671
        EXPECT_EQ(Shown(Gain()), "-0.025000000372529") << "option " << on;
    }
}

TEST_F(CompressorTest, EmptyBlockChangesNothing) {
    g_peakLeft.store(123, kRelaxed);
    g_peakRight.store(456, kRelaxed);
    g_gain.store(0.5, kRelaxed);
    for (bool on : {false, true}) {
        Option(on);
        Run(0, 0, 0);
        EXPECT_EQ(CompressorCallback(nullptr, nullptr, 0, nullptr), nullptr);
        EXPECT_EQ(g_peakLeft.load(kRelaxed), 123);
        EXPECT_EQ(g_peakRight.load(kRelaxed), 456);
        EXPECT_EQ(g_clipLeft.load(kRelaxed), 0);
        EXPECT_EQ(g_clipRight.load(kRelaxed), 0);
        EXPECT_EQ(Gain(), 0.5);
    }
}

} // namespace
