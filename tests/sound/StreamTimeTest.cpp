// A stream's length, position and end, at the output rate and at other rates that the
// library resamples.
#include "SoundTest.h"

namespace corvaline::testsupport {
namespace {

class StreamTimeTest : public SoundTest {};

// Upward zero crossings of the left side over [begin, end): the frequency in Hz times the
// span in seconds.
long UpwardCrossings(const OutputCapture& out, long begin, long end) {
    long crossings = 0;
    for (long i = begin + 1; i < end; ++i) {
        crossings += out.Left(i - 1) < 0 && out.Left(i) >= 0;
    }
    return crossings;
}

long LastAudibleFrame(const OutputCapture& out) {
    for (long i = out.Frames() - 1; i >= 0; --i) {
        if (out.Left(i) != 0 || out.Right(i) != 0) {
            return i;
        }
    }
    return -1;
}

TEST_F(StreamTimeTest, LengthIsTheFileFramesInWholeMilliseconds) {
    const struct {
        int rate;
        long frames;
        int ms;
    } cases[] = {{44100, 44100, 1000}, {44100, 4410, 100},   {44100, 44099, 999},
                 {44100, 1, 0},        {48000, 48000, 1000}, {48000, 1000, 20},
                 {22050, 12345, 559},  {22050, 22050, 1000}};
    for (const auto& c : cases) {
        const std::string path =
            m_dir.File(std::to_string(c.rate) + "-" + std::to_string(c.frames) + ".wav");
        ASSERT_TRUE(WriteWav16(path, c.rate, 2, c.frames, Constant(0.1f, 0.1f)));
        FSOUND_STREAM* stream = Open(path);
        ASSERT_NE(stream, nullptr) << path;
        EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), c.ms) << c.frames << " frames at " << c.rate;
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
        FSOUND_Stream_Close(stream);
    }
}

TEST_F(StreamTimeTest, TimeIsThePartAlreadyMixed) {
    const long frames = 10000;
    FSOUND_STREAM* stream = OpenWav("time.wav", frames, Constant(0.2f, 0.2f));
    ASSERT_NE(stream, nullptr);
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    for (long block = 1; block <= BlocksFor(frames) + 2; ++block) {
        ASSERT_EQ(FSOUND_Update(), kBlock);
        const long mixed = std::min(block * kBlock, frames);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), mixed * 1000 / 44100) << "after block " << block;
    }
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    EXPECT_EQ(stats.underruns, 0u) << "the MANUAL output decodes before it mixes";
}

TEST_F(StreamTimeTest, ChannelGoesIdleInTheBlockThatMixesTheLastFrame) {
    OutputCapture& out = Out(16 * kBlock);
    for (const long frames : {1l, 1023l, 4l * kBlock, 4l * kBlock + 1, 5000l}) {
        SCOPED_TRACE(std::to_string(frames) + " frames");
        out.Clear();
        FSOUND_STREAM* stream =
            OpenWav("end" + std::to_string(frames) + ".wav", frames, Constant(0.5f, -0.5f));
        ASSERT_NE(stream, nullptr);
        ASSERT_NE(FSOUND_Stream_Play(1, stream), 0);
        EXPECT_NE(FSOUND_IsPlaying(1), 0);
        const long blocks = BlocksFor(frames);
        Mix(blocks - 1);
        EXPECT_NE(FSOUND_IsPlaying(1), 0) << "one block before the end";
        Mix(1);
        EXPECT_EQ(FSOUND_IsPlaying(1), 0) << "after the block holding the last frame";
        Mix(1);
        EXPECT_TRUE(FramesAre(out, 0, frames, Pcm(0.5), Pcm(-0.5), 0));
        EXPECT_TRUE(Silent(out, frames, (blocks + 1) * kBlock));
        FSOUND_Stream_Close(stream);
    }
}

class ResampledStreamTest : public StreamTimeTest, public ::testing::WithParamInterface<int> {};

TEST_P(ResampledStreamTest, KeepsItsDurationLevelAndPitch) {
    const int rate = GetParam();
    const double hz = 1000.0, amplitude = 0.5;
    const std::string path = m_dir.File("rate" + std::to_string(rate) + ".wav");
    // Three seconds: longer than the library reads ahead, so the resampler is fed in
    // many pieces.
    ASSERT_TRUE(WriteWav16(path, rate, 2, 3 * rate, Sine(hz, rate, amplitude)));
    FSOUND_STREAM* stream = Open(path);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 3000);
    const long outputFrames = 3 * 44100;
    OutputCapture& out = Out(BlocksFor(outputFrames) * kBlock + 4 * kBlock);
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);

    Mix(22);
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), 22 * kBlock * 1000 / 44100, 2)
        << "time is in the file's own milliseconds";
    long blocks = 22;
    blocks += MixToEnd(0, BlocksFor(outputFrames) + 4);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    EXPECT_EQ(blocks, BlocksFor(outputFrames)) << "three seconds of output";
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), 3000, 2);
    Mix(1);
    // A sine may pass through zero on its last frames; a few frames either way are fine.
    EXPECT_NEAR(LastAudibleFrame(out), outputFrames, 16);

    // All but the edges: one cycle per millisecond, none lost or gained where the pieces
    // meet, and the level of the source.
    const long begin = 4410, end = outputFrames - 4410;
    EXPECT_NEAR(UpwardCrossings(out, begin, end), (end - begin) * 1000 / 44100, 2);
    EXPECT_NEAR(out.Rms(begin, end, OutputCapture::Side::Left), amplitude / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(out.Rms(begin, end, OutputCapture::Side::Right), amplitude / std::sqrt(2.0), 0.01);
}

INSTANTIATE_TEST_SUITE_P(Rates, ResampledStreamTest, ::testing::Values(48000, 22050),
                         [](const auto& info) { return std::to_string(info.param) + "Hz"; });

} // namespace
} // namespace corvaline::testsupport
