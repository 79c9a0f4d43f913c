// The compressor unit in the real sound library's chain: what it returns is
// what is heard, block by block at the gain of that block, and the levels it
// measures are those of the output.
#include "AudioFiles.h"
#include "CompressorState.h"
#include "CompressorUnit.h"
#include "OutputCapture.h"
#include "fsound.h"
#include "fsound_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace corvaline::testsupport {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr long kBlock = FSOUND_BLOCK_FRAMES;

class CompressorInMixerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset();
        ASSERT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL), 0);
        ASSERT_NE(FSOUND_Init(44100, 2, 0), 0);
        m_capture = std::make_unique<OutputCapture>(64 * kBlock);
        m_unit = FSOUND_DSP_Create(&CompressorCallback, kCompressorPriority, nullptr);
        ASSERT_NE(m_unit, nullptr);
        FSOUND_DSP_SetActive(m_unit, 1);
    }

    void TearDown() override {
        m_capture.reset();
        FSOUND_Close();
        Reset();
    }

    static void Reset() { ResetCompressorState(); }

    // Plays a WAV of `frames` frames on channel 0 and mixes it to its end,
    // noting the gain each block starts with.
    std::vector<double> PlayToEnd(long frames, const Generator& gen) {
        const std::string path = m_dir.File("input.wav");
        EXPECT_TRUE(WriteWav16(path, 44100, 2, frames, gen));
        FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
        EXPECT_NE(stream, nullptr);
        EXPECT_NE(FSOUND_Stream_Play(0, stream), 0);
        std::vector<double> gains;
        while (FSOUND_IsPlaying(0) && gains.size() < 1000) {
            gains.push_back(g_gain.load(kRelaxed));
            FSOUND_Update();
        }
        return gains;
    }

    // The highest running peak of any captured block on one side.
    int HighestBlockPeak(bool right) const {
        int highest = 0;
        for (long begin = 0; begin < m_capture->Frames(); begin += kBlock) {
            int peak = 0;
            for (long i = begin; i < std::min(begin + kBlock, m_capture->Frames()); ++i) {
                const int m = std::abs(right ? m_capture->Right(i) : m_capture->Left(i));
                peak = m > peak ? (peak + m) / 2 : peak;
            }
            highest = std::max(highest, peak);
        }
        return highest;
    }

    TempDir m_dir;
    std::unique_ptr<OutputCapture> m_capture;
    FSOUND_DSPUNIT* m_unit = nullptr;
};

TEST_F(CompressorInMixerTest, OutputIsTheInputTransferredAtTheGainOfEachBlock) {
    // Loud enough on the left for the curve to push the peak past 28000, so
    // that g falls, then rises again once the output is below it.
    const Generator gen = [sine = Sine(441.0, 44100, 0.7), music = Music(44100, 3)](long f, int c) {
        return c == 0 ? sine(f, 0) : music(f, 1);
    };
    const long frames = 40 * kBlock;
    g_compressorOn.store(1, kRelaxed);
    const std::vector<double> gains = PlayToEnd(frames, gen);
    ASSERT_GE(m_capture->Frames(), frames);
    ASSERT_GE(static_cast<long>(gains.size()), frames / kBlock);

    for (long i = 0; i < frames; ++i) {
        const double g = gains[static_cast<size_t>(i / kBlock)];
        ASSERT_EQ(m_capture->Left(i), TransferSample(ToPcm16(gen(i, 0)), g)) << "frame " << i;
        ASSERT_EQ(m_capture->Right(i), TransferSample(ToPcm16(gen(i, 1)), g)) << "frame " << i;
    }
    EXPECT_EQ(g_peakLeft.load(kRelaxed), HighestBlockPeak(false));
    EXPECT_EQ(g_peakRight.load(kRelaxed), HighestBlockPeak(true));
    EXPECT_GT(g_peakLeft.load(kRelaxed), 28000);
    EXPECT_EQ(g_clipLeft.load(kRelaxed), 0);
    const auto fall = std::adjacent_find(gains.begin(), gains.end(), std::greater<double>());
    ASSERT_NE(fall, gains.end()) << "g never fell";
    EXPECT_NE(std::adjacent_find(fall, gains.end(), std::less<double>()), gains.end())
        << "g never rose after falling";
}

TEST_F(CompressorInMixerTest, QuietInputPassesUnchangedWithTheOptionOffWhilePeaksAreTaken) {
    const Generator gen = Sine(1000.0, 44100, 0.4);
    const long frames = 8 * kBlock;
    PlayToEnd(frames, gen);
    ASSERT_GE(m_capture->Frames(), frames);
    for (long i = 0; i < frames; ++i) {
        ASSERT_EQ(m_capture->Left(i), ToPcm16(gen(i, 0))) << "frame " << i;
        ASSERT_EQ(m_capture->Right(i), ToPcm16(gen(i, 1))) << "frame " << i;
    }
    EXPECT_EQ(g_gain.load(kRelaxed), 0.0);
    EXPECT_EQ(g_peakLeft.load(kRelaxed), HighestBlockPeak(false));
    EXPECT_GT(g_peakLeft.load(kRelaxed), 12000);
    EXPECT_EQ(g_peakRight.load(kRelaxed), g_peakLeft.load(kRelaxed));
}

} // namespace
} // namespace corvaline::testsupport
