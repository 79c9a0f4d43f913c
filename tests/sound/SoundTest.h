// The common ground of the sound library's tests: the library started with the MANUAL
// output, so that each FSOUND_Update mixes one block on the test's own thread and every
// result is deterministic.
#pragma once

#include "AudioFiles.h"
#include "OutputCapture.h"
#include "fsound.h"
#include "fsound_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

namespace corvaline::testsupport {

constexpr long kBlock = FSOUND_BLOCK_FRAMES;

// The output sample the mixer makes of the float value x.
inline int Pcm(double x) {
    return static_cast<int>(std::clamp(std::lrint(x * 32768.0), -32768l, 32767l));
}

// Blocks a stream of `frames` frames at 44100 Hz takes to mix.
inline long BlocksFor(long frames) {
    return (frames + kBlock - 1) / kBlock;
}

inline int StreamsOpen() {
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    return stats.streamsOpen;
}

// Every frame in [begin, end) holds the given left and right samples, give or take
// `tolerance`; reports the first frame that does not, rather than every one.
inline ::testing::AssertionResult FramesAre(const OutputCapture& out, long begin, long end,
                                            int left, int right, int tolerance = 1) {
    if (out.Frames() < end) {
        return ::testing::AssertionFailure()
               << "only " << out.Frames() << " frames captured, wanted " << end;
    }
    for (long i = begin; i < end; ++i) {
        if (std::abs(out.Left(i) - left) > tolerance ||
            std::abs(out.Right(i) - right) > tolerance) {
            return ::testing::AssertionFailure()
                   << "frame " << i << " is (" << out.Left(i) << ", " << out.Right(i)
                   << "), expected (" << left << ", " << right << ") within " << tolerance;
        }
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult Silent(const OutputCapture& out, long begin, long end) {
    return FramesAre(out, begin, end, 0, 0, 0);
}

class SoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL), 0);
        ASSERT_NE(FSOUND_Init(44100, 2, 0), 0);
    }

    void TearDown() override {
        m_capture.reset();
        FSOUND_Close();
    }

    // The capture unit, created on first use; it records from the next block on.
    OutputCapture& Out(long capacityFrames = 64 * kBlock) {
        if (!m_capture) {
            m_capture = std::make_unique<OutputCapture>(capacityFrames);
        }
        return *m_capture;
    }

    // Mixes `blocks` blocks and returns the frames mixed.
    static long Mix(long blocks) {
        long frames = 0;
        for (long i = 0; i < blocks; ++i) {
            frames += FSOUND_Update();
        }
        return frames;
    }

    // Mixes until the channel goes idle, at most `maxBlocks` blocks; returns the blocks mixed.
    static long MixToEnd(int channel, long maxBlocks) {
        long blocks = 0;
        while (FSOUND_IsPlaying(channel) && blocks < maxBlocks) {
            blocks += FSOUND_Update() > 0;
        }
        return blocks;
    }

    static FSOUND_STREAM* Open(const std::string& path) {
        return FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
    }

    // Writes a 16-bit WAV at 44100 Hz and opens it; null when either fails.
    FSOUND_STREAM* OpenWav(const std::string& name, long frames, const Generator& gen,
                           int channels = 2) {
        const std::string path = m_dir.File(name);
        if (!WriteWav16(path, 44100, channels, frames, gen)) {
            return nullptr;
        }
        return Open(path);
    }

    TempDir m_dir;
    std::unique_ptr<OutputCapture> m_capture;
};

// The library mixing in real time on its own thread and throwing the sound away, as it does
// when no device opens: for what only shows when the program's calls meet the mixer.
class RealTimeSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 0);
        ASSERT_NE(FSOUND_Init(44100, 2, 0), 0);
    }
    void TearDown() override { FSOUND_Close(); }

    TempDir m_dir;
};

} // namespace corvaline::testsupport
