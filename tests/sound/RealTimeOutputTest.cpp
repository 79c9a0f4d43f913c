// Streams played while the library mixes on its own thread: they still end by themselves,
// and the program's calls, made while blocks are being mixed, disturb nothing.
#include "SoundTest.h"

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

namespace corvaline::testsupport {
namespace {

class RealTimeOutputTest : public RealTimeSoundTest {};

TEST_F(RealTimeOutputTest, AStreamPlaysToItsEndByItself) {
    const std::string path = m_dir.File("short.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, 13230, Sine(440.0, 44100, 0.5))); // 0.3 s
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_NE(FSOUND_Stream_Play(1, stream), 0);
    // Generous: the point is that it ends, not how punctually.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FSOUND_IsPlaying(1) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(FSOUND_IsPlaying(1), 0);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 300);
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    EXPECT_GE(stats.blocksMixed, 13u);
}

// SDL's disk output, told to write a block every 11 ms, mixes about twice as fast as real
// time. A file several rings long plays through without a gap only if the feeder refills
// the ring round after round and never sleeps long enough for the mixer to empty it.
TEST_F(RealTimeOutputTest, ARingDrainedTwiceAsFastAsRealTimeNeverRunsDry) {
    FSOUND_Close();
    // No other test here opens a device, so the environment is left as set.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "11", 1);
    ASSERT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_DEVICE), 0);
    ASSERT_NE(FSOUND_Init(44100, 2, 0), 0);
    const std::string path = m_dir.File("long.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, 8 * 44100, Music(44100, 7)));
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (FSOUND_IsPlaying(0) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 8000);
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    EXPECT_EQ(stats.underruns, 0u);
}

TEST_F(RealTimeOutputTest, CallsMadeWhileTheMixerRunsAreSafe) {
    const std::string wav = m_dir.File("a.wav"), mp3 = m_dir.File("b.mp3");
    ASSERT_TRUE(WriteWav16(wav, 48000, 2, 24000, Music(48000, 2)));
    ASSERT_TRUE(WriteMp3(mp3, 44100, 2, 22050, Music(44100, 4)));
    FSOUND_DSPUNIT* fft = FSOUND_DSP_GetFFTUnit();
    // Each round opens a file and sleeps, so a few dozen rounds are enough.
    std::mt19937 random(1234);
    FSOUND_STREAM* playing[2] = {nullptr, nullptr};
    for (int i = 0; i < 50; ++i) {
        const int channel = static_cast<int>(random() % 2);
        if (playing[channel] != nullptr && random() % 2 == 0) {
            FSOUND_Stream_Stop(playing[channel]);
        }
        if (playing[channel] != nullptr) {
            FSOUND_Stream_Close(playing[channel]);
            playing[channel] = nullptr;
        }
        playing[channel] = FSOUND_Stream_OpenFile((i % 3 ? wav : mp3).c_str(), FSOUND_LOOP_OFF, 0);
        ASSERT_NE(playing[channel], nullptr) << "round " << i;
        FSOUND_Stream_Play(channel, playing[channel]);
        FSOUND_SetVolume(channel, static_cast<int>(random() % 256));
        FSOUND_SetPan(channel, static_cast<int>(random() % 257) - 1);
        FSOUND_DSP_SetActive(fft, static_cast<int>(random() % 2));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        EXPECT_GE(FSOUND_Stream_GetTime(playing[channel]), 0);
        EXPECT_LE(FSOUND_Stream_GetTime(playing[channel]), 550);
        (void)FSOUND_IsPlaying(channel);
        (void)FSOUND_GetVolume(channel);
        const float* spectrum = FSOUND_DSP_GetSpectrum();
        ASSERT_NE(spectrum, nullptr);
        EXPECT_GE(spectrum[static_cast<size_t>(random() % 512)], 0.0f);
    }
    for (FSOUND_STREAM* stream : playing) {
        FSOUND_Stream_Close(stream);
    }
    // Closed streams are released once the mixer has faded them out, a block or so later.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (StreamsOpen() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(StreamsOpen(), 0);
}

} // namespace
} // namespace corvaline::testsupport
