// MPEG audio of every common make, encoded at test time from a source of known length: each
// file plays whole, for the length it reports, and where a LAME tag states the encoder's delay
// and padding it starts and ends where its source did.
#include "ChildProcess.h"
#include "SoundTest.h"

#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace corvaline::testsupport {
namespace {

enum class Damage { None, JunkBefore, CutInHalf };

struct MpegCase {
    const char* label;
    int rate;
    int channels;
    std::vector<std::string> encoder; // the source and the output file follow
    int samplesPerFrame;
    bool gapless; // a LAME tag tells the encoder's delay and padding
    Damage damage = Damage::None;
};

void PrintTo(const MpegCase& c, std::ostream* os) {
    *os << c.label;
}

// The source: half a second of silence, then music, so that where the music starts in the
// output shows whether the encoder's delay was trimmed.
constexpr double kSourceSeconds = 4.0;
constexpr double kSilenceSeconds = 0.5;

Generator SilenceThenMusic(int rate) {
    const Generator music = Music(rate, 17);
    const long silent = std::lround(kSilenceSeconds * rate);
    return [music, silent](long frame, int channel) {
        return frame < silent ? 0.0f : music(frame - silent, channel);
    };
}

bool Encode(const MpegCase& c, const std::string& source, const std::string& output) {
    std::vector<std::string> argv = c.encoder;
    argv.push_back(source);
    argv.push_back(output);
    ChildProcess::Options quiet;
    quiet.outputFile = "/dev/null";
    ChildProcess encoder(argv, quiet);
    const std::optional<int> status = encoder.WaitExit(std::chrono::seconds(60));
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

void PrependJunk(const std::string& path) {
    std::string bytes(3001, '\0');
    std::mt19937 random(5);
    for (char& b : bytes) {
        b = static_cast<char>(random() & 0xFF);
    }
    std::ifstream in(path, std::ios::binary);
    bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    in.close();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The first output frame at which the music is heard.
long Onset(const OutputCapture& out) {
    for (long i = 0; i < out.Frames(); ++i) {
        if (std::abs(out.Left(i)) > 3000 || std::abs(out.Right(i)) > 3000) {
            return i;
        }
    }
    return -1;
}

class MpegCorpusTest : public SoundTest, public ::testing::WithParamInterface<MpegCase> {};

TEST_P(MpegCorpusTest, PlaysForTheLengthItReportsAndItsSourceHad) {
    const MpegCase& c = GetParam();
    if (!OnPath(c.encoder[0])) {
        GTEST_SKIP() << c.encoder[0] << " is not installed";
    }
    const std::string source = m_dir.File("source.wav");
    const std::string path = m_dir.File("encoded.mp3");
    const long sourceFrames = std::lround(kSourceSeconds * c.rate);
    ASSERT_TRUE(WriteWav16(source, c.rate, c.channels, sourceFrames, SilenceThenMusic(c.rate)));
    ASSERT_TRUE(Encode(c, source, path));
    if (c.damage == Damage::JunkBefore) {
        PrependJunk(path);
    }
    if (c.damage == Damage::CutInHalf) {
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2 + 101);
    }

    FSOUND_STREAM* stream = Open(path);
    ASSERT_NE(stream, nullptr);
    const double frameMs = 1000.0 * c.samplesPerFrame / c.rate;
    const double sourceMs = 1000.0 * kSourceSeconds;
    const int lengthMs = FSOUND_Stream_GetLengthMs(stream);
    if (c.damage == Damage::CutInHalf) {
        EXPECT_NEAR(lengthMs, sourceMs / 2, sourceMs / 8) << "what is left of the file";
    } else if (c.gapless) {
        EXPECT_NEAR(lengthMs, sourceMs, frameMs);
    } else {
        // The encoder's delay and padding stay in: under four frames more.
        EXPECT_GE(lengthMs, sourceMs - 1);
        EXPECT_LE(lengthMs, sourceMs + 3.5 * frameMs);
    }

    OutputCapture& out = Out(static_cast<long>(1.2 * kSourceSeconds * 44100));
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
    MixToEnd(0, BlocksFor(static_cast<long>(2 * kSourceSeconds * 44100)));
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), lengthMs, frameMs) << "what plays";

    if (c.gapless) {
        const double halfFrame = 0.5 * c.samplesPerFrame * 44100.0 / c.rate;
        EXPECT_NEAR(Onset(out), kSilenceSeconds * 44100, halfFrame) << "the music starts on time";
    }
}

const std::vector<std::string> kVbr{"lame", "--quiet", "-V", "2"};
const std::vector<std::string> kVbrNoTag{"lame", "--quiet", "-V", "2", "-t"};

INSTANTIATE_TEST_SUITE_P(
    Makes, MpegCorpusTest,
    ::testing::Values(
        MpegCase{"VbrWithXing", 44100, 2, kVbr, 1152, true},
        MpegCase{"VbrWithoutXing", 44100, 2, kVbrNoTag, 1152, false},
        MpegCase{"CbrWithInfo", 44100, 2, {"lame", "--quiet", "-b", "128"}, 1152, true},
        MpegCase{"CbrWithoutInfo", 44100, 2, {"lame", "--quiet", "-b", "128", "-t"}, 1152, false},
        MpegCase{"Abr", 44100, 2, {"lame", "--quiet", "--abr", "96", "-t"}, 1152, false},
        MpegCase{"Mpeg2Mono22k", 22050, 1, kVbrNoTag, 576, false},
        MpegCase{"Mpeg25Mono8k", 8000, 1, {"lame", "--quiet", "-V", "5"}, 576, true},
        MpegCase{"Mpeg25Stereo11k", 11025, 2, {"lame", "--quiet", "-b", "32"}, 576, true},
        MpegCase{"LayerII", 44100, 2, {"twolame", "--quiet", "-b", "192"}, 1152, false},
        MpegCase{"Id3TagsAtBothEnds",
                 44100,
                 2,
                 {"lame", "--quiet", "-V", "2", "--add-id3v2", "--pad-id3v2-size", "5000", "--tt",
                  "Faixa", "--ta", "Artista"},
                 1152,
                 true},
        MpegCase{"JunkBeforeTheFirstFrame", 44100, 2, kVbr, 1152, true, Damage::JunkBefore},
        MpegCase{"CutDownload", 44100, 2, kVbr, 1152, true, Damage::CutInHalf}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace corvaline::testsupport
