// Playing, stopping, replaying and closing streams on the library's channels.
#include "SoundTest.h"

namespace corvaline::testsupport {
namespace {

class StreamPlaybackTest : public SoundTest {};

// A different value on every frame of a stretch, so that an output sample tells which
// frame of the file it came from.
float Ramp(long frame, int channel) {
    const float x = static_cast<float>(frame % 8192 - 4096) / 8192.0f;
    return channel == 0 ? x : -x;
}

TEST_F(StreamPlaybackTest, PlaysOnExactlyTheChannelItIsGivenReplacingWhatPlayedThere) {
    OutputCapture& out = Out();
    FSOUND_STREAM* a = OpenWav("a.wav", 20 * kBlock, Constant(0.25f, 0.25f));
    FSOUND_STREAM* b = OpenWav("b.wav", 20 * kBlock, Constant(0.125f, -0.125f));
    FSOUND_STREAM* c = OpenWav("c.wav", 20 * kBlock, Constant(-0.0625f, -0.0625f));
    ASSERT_TRUE(a && b && c);

    EXPECT_NE(FSOUND_Stream_Play(1, a), 0);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    EXPECT_NE(FSOUND_IsPlaying(1), 0);
    Mix(1);
    EXPECT_TRUE(FramesAre(out, 0, kBlock, Pcm(0.25), Pcm(0.25), 0));

    EXPECT_NE(FSOUND_Stream_Play(0, b), 0);
    EXPECT_NE(FSOUND_IsPlaying(0), 0);
    Mix(1);
    EXPECT_TRUE(FramesAre(out, kBlock, 2 * kBlock, Pcm(0.375), Pcm(0.125), 0));

    // The stream it replaces fades out within the first quarter of the next block at most.
    EXPECT_NE(FSOUND_Stream_Play(1, c), 0);
    EXPECT_NE(FSOUND_IsPlaying(1), 0);
    Mix(2);
    EXPECT_TRUE(FramesAre(out, 2 * kBlock + 256, 4 * kBlock, Pcm(0.0625), Pcm(-0.1875), 0));
    EXPECT_EQ(FSOUND_Stream_GetTime(c), 2 * kBlock * 1000 / 44100);
}

TEST_F(StreamPlaybackTest, StopFadesOutOverAQuarterBlockThenStaysSilent) {
    OutputCapture& out = Out();
    FSOUND_STREAM* stream = OpenWav("stop.wav", 40 * kBlock, Constant(0.5f, -0.5f));
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_Play(0, stream);
    Mix(2);
    FSOUND_Stream_Stop(stream);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0) << "idle as soon as Stop returns";
    Mix(4);

    const long at = 2 * kBlock;
    const int full = Pcm(0.5);
    EXPECT_GE(out.Left(at), full - full / 64) << "the fade starts from the level it had";
    EXPECT_LE(out.Left(at + 255), full / 64) << "and has almost reached silence by frame 255";
    for (long i = at + 1; i < at + 256; ++i) {
        ASSERT_LE(out.Left(i), out.Left(i - 1)) << "fade frame " << i - at;
        ASSERT_EQ(out.Right(i), -out.Left(i)) << "fade frame " << i - at;
    }
    EXPECT_TRUE(Silent(out, at + 256, 6 * kBlock));
}

TEST_F(StreamPlaybackTest, PlayAfterStopOrEndStartsFromTheBeginning) {
    OutputCapture& out = Out();
    FSOUND_STREAM* stream = OpenWav("ramp.wav", 6 * kBlock, Ramp);
    ASSERT_NE(stream, nullptr);
    const auto fromStart = [&](long at, long frames) -> ::testing::AssertionResult {
        for (long i = 0; i < frames; ++i) {
            if (out.Left(at + i) != ToPcm16(Ramp(i, 0)) ||
                out.Right(at + i) != ToPcm16(Ramp(i, 1))) {
                return ::testing::AssertionFailure()
                       << "output frame " << i << " is not file frame " << i;
            }
        }
        return ::testing::AssertionSuccess();
    };

    FSOUND_Stream_Play(0, stream);
    Mix(3);
    FSOUND_Stream_Stop(stream);
    Mix(1);
    EXPECT_NE(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_NE(FSOUND_IsPlaying(0), 0);
    long at = out.Frames();
    Mix(1);
    EXPECT_TRUE(fromStart(at, kBlock)) << "after Stop";
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), kBlock * 1000 / 44100);

    Mix(6);
    ASSERT_EQ(FSOUND_IsPlaying(0), 0);
    EXPECT_NE(FSOUND_Stream_Play(0, stream), 0);
    at = out.Frames();
    Mix(6);
    EXPECT_TRUE(fromStart(at, 6 * kBlock)) << "after the end";
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);

    // On the other channel too.
    EXPECT_NE(FSOUND_Stream_Play(1, stream), 0);
    at = out.Frames();
    Mix(2);
    EXPECT_TRUE(fromStart(at, 2 * kBlock)) << "on channel 1";
}

TEST_F(StreamPlaybackTest, CloseStopsAndReleases) {
    OutputCapture& out = Out();
    const int before = StreamsOpen();
    FSOUND_STREAM* playing = OpenWav("p.wav", 40 * kBlock, Constant(0.5f, 0.5f));
    FSOUND_STREAM* idle = OpenWav("i.wav", 40 * kBlock, Constant(0.5f, 0.5f));
    ASSERT_TRUE(playing && idle);
    EXPECT_EQ(StreamsOpen(), before + 2);
    FSOUND_Stream_Play(1, playing);
    Mix(2);
    EXPECT_NE(FSOUND_Stream_Close(playing), 0);
    EXPECT_EQ(FSOUND_IsPlaying(1), 0);
    EXPECT_EQ(StreamsOpen(), before + 1);
    Mix(3);
    EXPECT_TRUE(Silent(out, 2 * kBlock + 256, 5 * kBlock));
    EXPECT_NE(FSOUND_Stream_Close(idle), 0);
    EXPECT_EQ(StreamsOpen(), before);
}

TEST_F(StreamPlaybackTest, ClosingAStreamThatIsFadingOutIsSafe) {
    OutputCapture& out = Out();
    FSOUND_STREAM* stopped = OpenWav("s.wav", 40 * kBlock, Constant(0.5f, 0.5f));
    FSOUND_STREAM* replaced = OpenWav("r.wav", 40 * kBlock, Constant(0.5f, 0.5f));
    FSOUND_STREAM* next = OpenWav("n.wav", 40 * kBlock, Constant(0.25f, 0.25f));
    ASSERT_TRUE(stopped && replaced && next);
    FSOUND_Stream_Play(0, stopped);
    FSOUND_Stream_Play(1, replaced);
    Mix(1);
    // Both would fade out over the next block; both are gone before it is mixed.
    FSOUND_Stream_Stop(stopped);
    FSOUND_Stream_Close(stopped);
    FSOUND_Stream_Play(1, next);
    FSOUND_Stream_Close(replaced);
    Mix(2);
    EXPECT_TRUE(FramesAre(out, kBlock + 256, 3 * kBlock, Pcm(0.25), Pcm(0.25), 0));
    EXPECT_NE(FSOUND_IsPlaying(1), 0);
    EXPECT_EQ(StreamsOpen(), 1);
}

TEST_F(StreamPlaybackTest, LongStreamsOnBothChannelsPlayBitExactToTheEnd) {
    // Several times what the library reads ahead, so that its buffers are refilled and
    // wrap round many times while both channels play.
    const long frames = 6 * 44100 + 333;
    const Generator music = Music(44100, 8);
    const Generator ramp = [](long f, int c) { return Ramp(f, c) * 0.2f; };
    FSOUND_STREAM* a = OpenWav("long-a.wav", frames, music);
    FSOUND_STREAM* b = OpenWav("long-b.wav", frames - 5000, ramp);
    ASSERT_TRUE(a && b);
    OutputCapture& out = Out(BlocksFor(frames) * kBlock + kBlock);
    FSOUND_Stream_Play(0, a);
    FSOUND_Stream_Play(1, b);
    EXPECT_EQ(MixToEnd(0, BlocksFor(frames) + 5), BlocksFor(frames));
    EXPECT_EQ(FSOUND_IsPlaying(1), 0);
    for (long i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            const int expected =
                std::clamp(ToPcm16(music(i, c)) + (i < frames - 5000 ? ToPcm16(ramp(i, c)) : 0),
                           -32768, 32767);
            ASSERT_EQ(c == 0 ? out.Left(i) : out.Right(i), expected)
                << "frame " << i << " side " << c;
        }
    }
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    EXPECT_EQ(stats.underruns, 0u);
}

TEST_F(StreamPlaybackTest, AThousandCyclesLeaveNothingOpen) {
    const std::string path = m_dir.File("short.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, 3 * kBlock, Sine(440.0, 44100, 0.5)));
    const int before = StreamsOpen();
    for (int i = 0; i < 1000; ++i) {
        FSOUND_STREAM* stream = Open(path);
        ASSERT_NE(stream, nullptr) << "cycle " << i;
        ASSERT_NE(FSOUND_Stream_Play(i % 2, stream), 0) << "cycle " << i;
        FSOUND_Update();
        FSOUND_Stream_Stop(stream);
        FSOUND_Stream_Close(stream);
    }
    EXPECT_EQ(StreamsOpen(), before);
    OutputCapture& out = Out();
    Mix(2);
    EXPECT_TRUE(Silent(out, 0, 2 * kBlock));
}

} // namespace
} // namespace corvaline::testsupport
