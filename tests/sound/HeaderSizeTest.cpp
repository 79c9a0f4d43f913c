// Files whose headers state sizes that the file does not bear out: WAV chunks that claim more
// than there is or nothing at all, and ID3v2 tags, huge or claiming more than the file holds, in
// front of MPEG audio. The library plays what is really there, or refuses the file, and never reads
// a tag that it has no use for.
#include "SoundTest.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace corvaline::testsupport {
namespace {

class HeaderSizeTest : public SoundTest {};

unsigned long long BytesRead() {
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    return stats.bytesRead;
}

// Overwrites the little-endian 32-bit field at `offset`.
void Poke32(const std::string& path, std::streamoff offset, std::uint32_t value) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(offset);
    for (int i = 0; i < 4; ++i) {
        file.put(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// An ID3v2.4 tag whose header claims `claimed` bytes after it, of which `held` follow as
// padding (a hole, so that a huge tag costs no disk), then the MPEG file `audio`.
void WriteTagged(const std::string& path, const std::string& audio, long claimed, long held) {
    const auto syncsafe = [claimed](int shift) {
        return static_cast<unsigned char>((claimed >> shift) & 0x7F);
    };
    ASSERT_TRUE(WriteBytes(
        path, {'I', 'D', '3', 4, 0, 0, syncsafe(21), syncsafe(14), syncsafe(7), syncsafe(0)}));
    std::filesystem::resize_file(path, 10 + static_cast<std::uintmax_t>(held));
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << std::ifstream(audio, std::ios::binary).rdbuf();
    ASSERT_TRUE(out.flush());
}

// The WAV writer's 16-bit stereo layout: "RIFF" size, "fmt " size, "data" size.
constexpr std::streamoff kRiffSize = 4;
constexpr std::streamoff kFmtSize = 16;
constexpr std::streamoff kDataSize = 40;

TEST_F(HeaderSizeTest, WavSizesTheFileDoesNotBearOutPlayWhatIsThere) {
    const long frames = 10 * kBlock;
    struct Lie {
        const char* name;
        std::streamoff field;
        std::uint32_t value;
    };
    for (const Lie lie :
         {Lie{"tenfold.wav", kDataSize, 10 * frames * 4},
          Lie{"data-max.wav", kDataSize, 0xFFFFFFFFu}, Lie{"riff-max.wav", kRiffSize, 0xFFFFFFFFu},
          // A recorder killed before it could write the sizes.
          Lie{"data-zero.wav", kDataSize, 0}, Lie{"riff-zero.wav", kRiffSize, 0}}) {
        SCOPED_TRACE(lie.name);
        const std::string path = m_dir.File(lie.name);
        ASSERT_TRUE(WriteWav16(path, 44100, 2, frames, Constant(0.5f, 0.5f)));
        Poke32(path, lie.field, lie.value);
        if (lie.field == kRiffSize) {
            Poke32(path, kDataSize, lie.value);
        }
        FSOUND_STREAM* stream = Open(path);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), frames * 1000 / 44100);
        OutputCapture& out = Out();
        ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
        EXPECT_LE(MixToEnd(0, 40), 11);
        EXPECT_EQ(FSOUND_IsPlaying(0), 0);
        Mix(1);
        EXPECT_TRUE(FramesAre(out, 0, frames, Pcm(0.5), Pcm(0.5), 0));
        EXPECT_TRUE(Silent(out, frames, out.Frames()));
        EXPECT_NE(FSOUND_Stream_Close(stream), 0);
        m_capture.reset();
    }

    // A format chunk bigger than the file leaves nothing to read the audio from.
    for (const std::uint32_t size : {0x10000u, 0x7FFFFFF0u, 0x80000000u, 0xFFFFFFF0u}) {
        SCOPED_TRACE(size);
        const std::string path = m_dir.File("fmt.wav");
        ASSERT_TRUE(WriteWav16(path, 44100, 2, frames, Constant(0.5f, 0.5f)));
        Poke32(path, kFmtSize, size);
        EXPECT_EQ(Open(path), nullptr);
    }
    EXPECT_EQ(StreamsOpen(), 0);
}

TEST_F(HeaderSizeTest, Mp3BehindAHugeId3TagPlaysWithoutTheTagBeingRead) {
    const std::string plain = m_dir.File("plain.mp3");
    ASSERT_TRUE(WriteMp3(plain, 44100, 2, 44100, Music(44100, 5)));
    const std::string tagged = m_dir.File("tagged.mp3");
    const long tagBytes = 20L << 20;
    WriteTagged(tagged, plain, tagBytes, tagBytes);

    struct Heard {
        int lengthMs;
        long blocks;
        int timeMs;
    };
    const auto play = [this](const std::string& path) {
        FSOUND_STREAM* stream = Open(path);
        EXPECT_NE(stream, nullptr);
        if (stream == nullptr) {
            return Heard{};
        }
        OutputCapture& out = Out(64 * kBlock);
        FSOUND_Stream_Play(0, stream);
        const long blocks = MixToEnd(0, 100);
        EXPECT_GT(out.Rms(0, 40 * kBlock), 0.05);
        const Heard heard{FSOUND_Stream_GetLengthMs(stream), blocks, FSOUND_Stream_GetTime(stream)};
        FSOUND_Stream_Close(stream);
        m_capture.reset();
        return heard;
    };
    const Heard expected = play(plain);
    EXPECT_NEAR(expected.lengthMs, 1000, 30);

    const unsigned long long before = BytesRead();
    const Heard heard = play(tagged);
    // The audio itself is some 20 kB: a read of the tag would show as 20 MB more.
    EXPECT_LT(BytesRead() - before, 1u << 20);
    EXPECT_EQ(heard.lengthMs, expected.lengthMs);
    EXPECT_EQ(heard.blocks, expected.blocks);
    EXPECT_EQ(heard.timeMs, expected.timeMs);
    EXPECT_EQ(StreamsOpen(), 0);
}

TEST_F(HeaderSizeTest, AnId3TagClaimingMoreThanTheFileHoldsDoesNotOpen) {
    const std::string plain = m_dir.File("plain.mp3");
    ASSERT_TRUE(WriteMp3(plain, 44100, 2, 44100, Music(44100, 5)));
    const auto audioBytes = static_cast<long>(std::filesystem::file_size(plain));
    // Claiming the whole file or past its end, the tag hides where the audio begins; the
    // largest size a tag can state is 256 MB.
    for (const long claimed : {audioBytes, audioBytes + 1, (1L << 28) - 1}) {
        SCOPED_TRACE(claimed);
        const std::string path = m_dir.File("liar.mp3");
        WriteTagged(path, plain, claimed, 0);
        const unsigned long long before = BytesRead();
        EXPECT_EQ(Open(path), nullptr);
        EXPECT_LT(BytesRead() - before, 2u * static_cast<unsigned long long>(audioBytes));
    }
    EXPECT_EQ(StreamsOpen(), 0);
}

} // namespace
} // namespace corvaline::testsupport
