// How the mixer turns stream samples into output samples: unity at full volume in full
// stereo, linear volume and pan laws, saturation, ramps of changes made while playing.
#include "SoundTest.h"

namespace corvaline::testsupport {
namespace {

class MixLawTest : public SoundTest {
  protected:
    // Closes the channel's stream and mixes out its fade, so that the next stream started
    // there is alone in its first block.
    void Idle(int channel) {
        if (m_current[channel] == nullptr) {
            return;
        }
        FSOUND_Stream_Close(m_current[channel]);
        m_current[channel] = nullptr;
        Mix(1);
    }

    void Restart(int channel, const Generator& gen, int fileChannels = 2) {
        Idle(channel);
        m_current[channel] =
            OpenWav("c" + std::to_string(channel) + "-" + std::to_string(++m_files) + ".wav",
                    8 * kBlock, gen, fileChannels);
        ASSERT_NE(m_current[channel], nullptr);
        EXPECT_NE(FSOUND_Stream_Play(channel, m_current[channel]), 0);
    }

    FSOUND_STREAM* m_current[2] = {nullptr, nullptr};
    int m_files = 0;
};

TEST_F(MixLawTest, FullVolumeFullStereoIsBitExactOnEveryChannel) {
    // Distinct material on each side, so that a swap or a fold shows.
    const Generator gen = [sine = Sine(997.0, 44100, 0.9), music = Music(44100, 5)](long f, int c) {
        return c == 0 ? sine(f, 0) : music(f, 1);
    };
    const long frames = 3000;
    OutputCapture& out = Out();
    for (int channel = 0; channel < 2; ++channel) {
        EXPECT_EQ(FSOUND_GetVolume(channel), 255);
        out.Clear();
        FSOUND_STREAM* stream = OpenWav("exact" + std::to_string(channel) + ".wav", frames, gen);
        ASSERT_NE(stream, nullptr);
        ASSERT_NE(FSOUND_Stream_Play(channel, stream), 0);
        Mix(BlocksFor(frames) + 1);
        for (long i = 0; i < frames; ++i) {
            ASSERT_EQ(out.Left(i), ToPcm16(gen(i, 0))) << "channel " << channel << " frame " << i;
            ASSERT_EQ(out.Right(i), ToPcm16(gen(i, 1))) << "channel " << channel << " frame " << i;
        }
        EXPECT_TRUE(Silent(out, frames, out.Frames()));
        FSOUND_Stream_Close(stream);
    }
}

TEST_F(MixLawTest, SumsSaturateInsteadOfWrapping) {
    FSOUND_STREAM* a = OpenWav("a.wav", 4 * kBlock, Constant(0.75f, -0.75f));
    FSOUND_STREAM* b = OpenWav("b.wav", 4 * kBlock, Constant(0.75f, -0.75f));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    FSOUND_Stream_Play(0, a);
    FSOUND_Stream_Play(1, b);
    OutputCapture& out = Out();
    Mix(2);
    EXPECT_TRUE(FramesAre(out, 0, 2 * kBlock, 32767, -32768, 0));
}

TEST_F(MixLawTest, VolumeIsALinearGainSetBeforePlayWithoutRamp) {
    OutputCapture& out = Out(128 * kBlock);
    const struct {
        int set;
        int expected;
    } cases[] = {{0, 0}, {1, 1}, {64, 64}, {128, 128}, {254, 254}, {255, 255}, {300, 255}, {-7, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("volume " + std::to_string(c.set));
        Idle(0);
        FSOUND_SetVolume(0, c.set);
        EXPECT_EQ(FSOUND_GetVolume(0), c.expected);
        EXPECT_EQ(FSOUND_GetVolume(1), 255) << "volume belongs to its channel";
        Restart(0, Constant(0.5f, -0.25f));
        const long at = out.Frames();
        Mix(1);
        const double gain = c.expected / 255.0;
        EXPECT_TRUE(FramesAre(out, at, at + kBlock, Pcm(0.5 * gain), Pcm(-0.25 * gain)));
    }
}

TEST_F(MixLawTest, PanPlacesTheMonoFoldLinearly) {
    OutputCapture& out = Out(128 * kBlock);
    const double fold = (0.5 + 0.25) / 2;
    for (const int volume : {255, 128}) {
        for (const int pan : {0, 1, 64, 128, 200, 255}) {
            SCOPED_TRACE("volume " + std::to_string(volume) + " pan " + std::to_string(pan));
            Idle(1);
            FSOUND_SetVolume(1, volume);
            FSOUND_SetPan(1, pan);
            Restart(1, Constant(0.5f, 0.25f));
            const long at = out.Frames();
            Mix(1);
            const double gain = volume / 255.0;
            EXPECT_TRUE(FramesAre(out, at, at + kBlock, Pcm(fold * (255 - pan) / 255 * gain),
                                  Pcm(fold * pan / 255 * gain)));
        }
    }
    // Back to full stereo: each side at unity again.
    Idle(1);
    FSOUND_SetVolume(1, 255);
    FSOUND_SetPan(1, FSOUND_STEREOPAN);
    Restart(1, Constant(0.5f, 0.25f));
    const long at = out.Frames();
    Mix(1);
    EXPECT_TRUE(FramesAre(out, at, at + kBlock, Pcm(0.5), Pcm(0.25), 0));
}

TEST_F(MixLawTest, MonoFilePlaysTheSameSampleOnBothSides) {
    OutputCapture& out = Out();
    const Generator sine = Sine(441.0, 44100, 0.6);
    Restart(0, sine, 1);
    Mix(2);
    for (long i = 0; i < 2 * kBlock; ++i) {
        ASSERT_EQ(out.Left(i), ToPcm16(sine(i, 0))) << "frame " << i;
        ASSERT_EQ(out.Right(i), out.Left(i)) << "frame " << i;
    }
    // Panned hard left, a mono source keeps its full level on that side.
    Idle(0);
    FSOUND_SetPan(0, 0);
    Restart(0, Constant(0.3f, 0.0f), 1);
    const long at = out.Frames();
    Mix(1);
    EXPECT_TRUE(FramesAre(out, at, at + kBlock, Pcm(0.3), 0));
}

TEST_F(MixLawTest, ChangesWhilePlayingRampAcrossTheNextBlock) {
    OutputCapture& out = Out();
    Restart(0, Constant(0.5f, 0.5f));
    Mix(2);

    FSOUND_SetVolume(0, 51);
    EXPECT_EQ(FSOUND_GetVolume(0), 51);
    long at = out.Frames();
    Mix(2);
    const int from = Pcm(0.5), to = Pcm(0.5 * 51 / 255);
    // A ramp, not a step: it starts near the old level, ends near the new one, never rises.
    EXPECT_NEAR(out.Left(at), from, (from - to) / 64 + 1);
    EXPECT_NEAR(out.Left(at + kBlock - 1), to, (from - to) / 64 + 1);
    EXPECT_NEAR(out.Left(at + kBlock / 2), (from + to) / 2, (from - to) / 32 + 1);
    for (long i = at + 1; i < at + kBlock; ++i) {
        ASSERT_LE(out.Left(i), out.Left(i - 1)) << "frame " << i - at << " of the ramp";
    }
    EXPECT_TRUE(FramesAre(out, at + kBlock, at + 2 * kBlock, to, to));

    // Pan ramps the same way: the right side falls to nothing, the left takes the fold.
    FSOUND_SetPan(0, 0);
    at = out.Frames();
    Mix(2);
    EXPECT_NEAR(out.Right(at), to, to / 64 + 1);
    EXPECT_NEAR(out.Right(at + kBlock / 2), to / 2, to / 32 + 1);
    for (long i = at + 1; i < at + kBlock; ++i) {
        ASSERT_LE(out.Right(i), out.Right(i - 1)) << "frame " << i - at << " of the ramp";
    }
    EXPECT_TRUE(FramesAre(out, at + kBlock, at + 2 * kBlock, to, 0));
}

TEST_F(MixLawTest, VolumeAndPanStayWithTheChannelAcrossStreams) {
    OutputCapture& out = Out();
    FSOUND_SetVolume(1, 100);
    FSOUND_SetPan(1, 200);
    const double fold = 0.4, gain = 100.0 / 255;
    FSOUND_STREAM* first = OpenWav("first.wav", 1500, Constant(0.4f, 0.4f));
    ASSERT_NE(first, nullptr);
    FSOUND_Stream_Play(1, first);
    Mix(3); // the first stream ends by itself
    ASSERT_EQ(FSOUND_IsPlaying(1), 0);

    FSOUND_STREAM* second = OpenWav("second.wav", 4 * kBlock, Constant(0.4f, 0.4f));
    ASSERT_NE(second, nullptr);
    FSOUND_Stream_Play(1, second);
    const long at = out.Frames();
    Mix(1);
    EXPECT_EQ(FSOUND_GetVolume(1), 100);
    EXPECT_TRUE(
        FramesAre(out, at, at + kBlock, Pcm(fold * 55 / 255 * gain), Pcm(fold * 200 / 255 * gain)));
    // The other channel kept its defaults.
    FSOUND_STREAM* third = OpenWav("third.wav", 4 * kBlock, Constant(0.25f, -0.25f));
    ASSERT_NE(third, nullptr);
    FSOUND_Stream_Close(second);
    Mix(1);
    FSOUND_Stream_Play(0, third);
    const long next = out.Frames();
    Mix(1);
    EXPECT_TRUE(FramesAre(out, next, next + kBlock, Pcm(0.25), Pcm(-0.25), 0));
}

} // namespace
} // namespace corvaline::testsupport
