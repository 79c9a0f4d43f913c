// Files that are not audio, audio that is damaged or vanishes while it plays, and handles
// or channels that do not exist: the library refuses or ends quietly, never crashes.
#include "SoundTest.h"

#include <filesystem>
#include <random>

namespace corvaline::testsupport {
namespace {

class BadInputTest : public SoundTest {};

std::vector<unsigned char> RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(count);
    for (unsigned char& b : bytes) {
        b = static_cast<unsigned char>(random() & 0xFF);
    }
    // A leading byte that cannot start an MPEG frame sync, so that the bytes are noise
    // from the first one on.
    bytes[0] = 0x42;
    return bytes;
}

std::vector<unsigned char> Text(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

TEST_F(BadInputTest, FilesThatAreNotAudioDoNotOpen) {
    const std::string text = "Lista de faixas\nnada de som aqui\n";
    ASSERT_TRUE(WriteBytes(m_dir.File("empty.wav"), {}));
    ASSERT_TRUE(WriteBytes(m_dir.File("empty.mp3"), {}));
    ASSERT_TRUE(WriteBytes(m_dir.File("notes.mp3"), Text(text)));
    ASSERT_TRUE(WriteBytes(m_dir.File("notes.wav"), Text(text)));
    ASSERT_TRUE(WriteBytes(m_dir.File("noise.mp3"), RandomBytes(64 * 1024, 7)));
    ASSERT_TRUE(WriteBytes(m_dir.File("header.wav"), Text("RIFF")));
    std::filesystem::create_directory(m_dir.File("folder.mp3"));

    const int before = StreamsOpen();
    for (const char* name : {"missing.mp3", "missing.raw", "folder.mp3", "empty.wav", "empty.mp3",
                             "notes.mp3", "notes.wav", "noise.mp3", "header.wav"}) {
        EXPECT_EQ(Open(m_dir.File(name)), nullptr) << name;
        EXPECT_EQ(StreamsOpen(), before) << name;
    }
    EXPECT_EQ(Open(""), nullptr);
    EXPECT_EQ(FSOUND_Stream_OpenFile(nullptr, FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_EQ(StreamsOpen(), before);
    EXPECT_EQ(Mix(1), kBlock);
}

// Plays a stream to its end, within a bound, and returns the frames heard before the
// output fell silent for good.
long PlayedFrames(const OutputCapture& out) {
    for (long i = out.Frames() - 1; i >= 0; --i) {
        if (out.Left(i) != 0 || out.Right(i) != 0) {
            return i + 1;
        }
    }
    return 0;
}

TEST_F(BadInputTest, Mp3CutInTheMiddleOfAFramePlaysWhatIsThereThenEnds) {
    const std::string path = m_dir.File("cut.mp3");
    ASSERT_TRUE(WriteMp3(path, 44100, 2, 2 * 44100, Music(44100, 3)));
    const auto size = std::filesystem::file_size(path);
    // Well inside the file and at an odd offset, so that the cut falls within a frame.
    std::filesystem::resize_file(path, size / 2 + 101);
    FSOUND_STREAM* stream = Open(path);
    ASSERT_NE(stream, nullptr);
    OutputCapture& out = Out(128 * kBlock);
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
    const long blocks = MixToEnd(0, 120);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0) << "it ends";
    // About half of the two seconds is there to be heard.
    EXPECT_GT(blocks, 30);
    EXPECT_LT(blocks, 70);
    EXPECT_GT(PlayedFrames(out), 30 * kBlock);
    EXPECT_GT(out.Rms(4410, 30 * kBlock), 0.1);
}

TEST_F(BadInputTest, WavWithTruncatedDataPlaysWhatIsThereThenEnds) {
    const std::string path = m_dir.File("cut.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, 20 * kBlock, Constant(0.5f, 0.5f)));
    // The header still announces twenty blocks; ten and a bit remain.
    const auto header = std::filesystem::file_size(path) - 20 * kBlock * 4;
    std::filesystem::resize_file(path, header + 10 * kBlock * 4 + 6);
    FSOUND_STREAM* stream = Open(path);
    ASSERT_NE(stream, nullptr);
    OutputCapture& out = Out();
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_LE(MixToEnd(0, 40), 21);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    Mix(1);
    EXPECT_TRUE(FramesAre(out, 0, 10 * kBlock, Pcm(0.5), Pcm(0.5), 0));
    EXPECT_LE(PlayedFrames(out), 10 * kBlock + 2);
}

TEST_F(BadInputTest, FileDeletedOrTruncatedWhilePlayingEnds) {
    // Longer than what the library reads ahead, so that it still has to read after the
    // file changed.
    const long frames = 44100 * 5;
    enum class Change { Deleted, CutToHeader, CutToHalf };
    // Right after the open, before the first read past the open's own, and once playing.
    for (const long blocksBefore : {0L, 4L}) {
        for (const Change change : {Change::Deleted, Change::CutToHeader, Change::CutToHalf}) {
            SCOPED_TRACE(testing::Message() << "change " << static_cast<int>(change) << " after "
                                            << blocksBefore << " blocks");
            const std::string path = m_dir.File("changes.wav");
            ASSERT_TRUE(WriteWav16(path, 44100, 2, frames, Sine(440.0, 44100, 0.5)));
            const auto header = std::filesystem::file_size(path) - frames * 4;
            FSOUND_STREAM* stream = Open(path);
            ASSERT_NE(stream, nullptr);
            ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
            Mix(blocksBefore);
            if (change == Change::Deleted) {
                std::filesystem::remove(path);
            } else {
                std::filesystem::resize_file(
                    path, change == Change::CutToHeader ? header : header + frames / 2 * 4);
            }
            MixToEnd(0, BlocksFor(frames) + 20);
            EXPECT_EQ(FSOUND_IsPlaying(0), 0);
            const int timeMs = FSOUND_Stream_GetTime(stream);
            if (change == Change::Deleted) {
                EXPECT_EQ(timeMs, 5000) << "the open file keeps its data";
            } else if (change == Change::CutToHeader) {
                EXPECT_LT(timeMs, 500) << "only what was read ahead";
            } else {
                EXPECT_NEAR(timeMs, 2500, 24) << "everything before the cut";
            }
            EXPECT_NE(FSOUND_Stream_Close(stream), 0);
        }
    }
    EXPECT_EQ(StreamsOpen(), 0);
}

TEST_F(BadInputTest, NullStreamsAndChannelsOutOfRangeDoNothing) {
    EXPECT_EQ(FSOUND_Stream_Play(0, nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_Stop(nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_Close(nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_GetTime(nullptr), 0);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);

    FSOUND_STREAM* stream = OpenWav("ok.wav", 4 * kBlock, Constant(0.5f, 0.5f));
    ASSERT_NE(stream, nullptr);
    OutputCapture& out = Out();
    for (const int channel : {-1, 2, 3, 1 << 20}) {
        SCOPED_TRACE("channel " + std::to_string(channel));
        EXPECT_EQ(FSOUND_Stream_Play(channel, stream), 0);
        EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
        EXPECT_EQ(FSOUND_SetVolume(channel, 10), 0);
        EXPECT_EQ(FSOUND_GetVolume(channel), 0);
        EXPECT_EQ(FSOUND_SetPan(channel, 10), 0);
    }
    EXPECT_EQ(FSOUND_GetVolume(0), 255);
    EXPECT_EQ(FSOUND_GetVolume(1), 255);
    Mix(1);
    EXPECT_TRUE(Silent(out, 0, kBlock)) << "nothing started";
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);

    // The stream is still whole and plays normally.
    EXPECT_NE(FSOUND_Stream_Play(1, stream), 0);
    Mix(1);
    EXPECT_TRUE(FramesAre(out, kBlock, 2 * kBlock, Pcm(0.5), Pcm(0.5), 0));
}

} // namespace
} // namespace corvaline::testsupport
