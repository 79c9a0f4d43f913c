// The kinds of file a stream is made from: whatever libsndfile reads, whatever the name,
// headerless 16-bit stereo for .raw and .pcm, and MPEG layer III.
#include "SoundTest.h"

#include <sndfile.h>

namespace corvaline::testsupport {
namespace {

class StreamFormatTest : public SoundTest {};

float Material(long frame, int channel) {
    // Four distinct channels, so that the two that are heard can be told apart.
    static const Generator sine = Sine(997.0, 44100, 1.0);
    return static_cast<float>(0.2 * (channel + 1)) * sine(frame + 37 * channel, 0);
}

struct LosslessCase {
    const char* label;
    const char* fileName;
    int sfFormat; // 0: headerless 16-bit stereo
    int channels;
    int tolerance; // 16-bit files come out bit-exact; deeper ones round to the output
};

void PrintTo(const LosslessCase& c, std::ostream* os) {
    *os << c.label;
}

class LosslessFileTest : public StreamFormatTest,
                         public ::testing::WithParamInterface<LosslessCase> {};

TEST_P(LosslessFileTest, PlaysTheFirstTwoChannelsUnchanged) {
    const LosslessCase& c = GetParam();
    const long frames = 3000;
    const std::string path = m_dir.File(c.fileName);
    ASSERT_TRUE(c.sfFormat == 0
                    ? WriteRaw16(path, frames, Material)
                    : WriteAudio(path, c.sfFormat, 44100, c.channels, frames, Material));
    FSOUND_STREAM* stream = Open(path);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), frames * 1000 / 44100);
    OutputCapture& out = Out();
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_EQ(MixToEnd(0, 10), BlocksFor(frames));
    Mix(1);
    const bool pcm16 = c.sfFormat == 0 || (c.sfFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    for (long i = 0; i < frames; ++i) {
        const int left = pcm16 ? ToPcm16(Material(i, 0)) : Pcm(Material(i, 0));
        const int right = pcm16 ? ToPcm16(Material(i, 1)) : Pcm(Material(i, 1));
        ASSERT_NEAR(out.Left(i), left, c.tolerance) << "frame " << i;
        ASSERT_NEAR(out.Right(i), right, c.tolerance) << "frame " << i;
    }
    EXPECT_TRUE(Silent(out, frames, out.Frames()));
}

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

INSTANTIATE_TEST_SUITE_P(
    Formats, LosslessFileTest,
    ::testing::Values(LosslessCase{"Flac", "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 0},
                      LosslessCase{"Aiff", "a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 0},
                      LosslessCase{"WavFloat", "a.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 1},
                      LosslessCase{"Wav24", "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 1},
                      LosslessCase{"WavFourChannels", "a.wav", kWav16, 4, 0},
                      LosslessCase{"WavNamedMp3", "wave.mp3", kWav16, 2, 0},
                      LosslessCase{"FlacNamedDat", "flac.dat", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2,
                                   0},
                      LosslessCase{"WavNamedRaw", "wave.raw", kWav16, 2, 0},
                      LosslessCase{"Raw", "a.raw", 0, 2, 0},
                      LosslessCase{"PcmUpperCase", "a.PCM", 0, 2, 0},
                      LosslessCase{"RawMixedCase", "a.Raw", 0, 2, 0}),
    [](const auto& info) { return std::string(info.param.label); });

// A full-length MP3 of music: it plays for its own duration at the level of the source.
class Mp3Test : public StreamFormatTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Mp3Test, PlaysMusicForItsDurationAtItsLevel) {
    const long frames = 44100;
    const Generator music = Music(44100, 11);
    const std::string path = m_dir.File("music.mp3");
    ASSERT_TRUE(WriteMp3(path, 44100, 2, frames, music, GetParam()));
    FSOUND_STREAM* stream = Open(path);
    ASSERT_NE(stream, nullptr);
    EXPECT_NEAR(FSOUND_Stream_GetLengthMs(stream), 1000, 30); // within one MPEG frame
    OutputCapture& out = Out();
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_NEAR(MixToEnd(0, 60), BlocksFor(frames), 2);
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), FSOUND_Stream_GetLengthMs(stream), 2);

    double sum = 0.0;
    const long begin = 4410, end = 39690;
    for (long i = begin; i < end; ++i) {
        for (int c = 0; c < 2; ++c) {
            sum += static_cast<double>(music(i, c)) * music(i, c);
        }
    }
    const double sourceDb = 10.0 * std::log10(sum / (2.0 * (end - begin)));
    EXPECT_NEAR(20.0 * std::log10(out.Rms(begin, end)), sourceDb, 1.0);
}

INSTANTIATE_TEST_SUITE_P(BitrateModes, Mp3Test, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Variable" : "Constant"; });

TEST_F(StreamFormatTest, MonoMp3At48kHzKeepsItsPitchOnBothSides) {
    const std::string path = m_dir.File("tone.mp3");
    ASSERT_TRUE(WriteMp3(path, 48000, 1, 48000, Sine(1000.0, 48000, 0.5), false));
    FSOUND_STREAM* stream = Open(path);
    ASSERT_NE(stream, nullptr);
    OutputCapture& out = Out();
    ASSERT_NE(FSOUND_Stream_Play(1, stream), 0);
    EXPECT_NEAR(MixToEnd(1, 60), BlocksFor(44100), 2);

    const long begin = 11025, end = begin + 22050;
    long crossings = 0;
    for (long i = begin; i < end; ++i) {
        ASSERT_EQ(out.Left(i), out.Right(i)) << "frame " << i;
        crossings += out.Left(i - 1) < 0 && out.Left(i) >= 0;
    }
    EXPECT_NEAR(crossings, 500, 3);
    EXPECT_NEAR(out.Rms(begin, end), 0.5 / std::sqrt(2.0), 0.03);
}

} // namespace
} // namespace corvaline::testsupport
