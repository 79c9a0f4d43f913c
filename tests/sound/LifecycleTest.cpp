// Starting and closing the library: every call is harmless before Init and after Close,
// Close may come twice, and a new Init starts from the defaults again.
#include "SoundTest.h"

namespace corvaline::testsupport {
namespace {

void* CountCalls(void*, void*, int, void* user) {
    ++*static_cast<int*>(user);
    return nullptr;
}

// Every call of the interface does nothing and answers 0; `stream` and `unit` may be
// handles left over from before a Close.
void ExpectAllCallsInert(FSOUND_STREAM* stream, FSOUND_DSPUNIT* unit, const std::string& path) {
    int calls = 0;
    EXPECT_EQ(FSOUND_Update(), 0);
    EXPECT_EQ(FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_EQ(FSOUND_Stream_Stop(stream), 0);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 0);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    EXPECT_EQ(FSOUND_Stream_Close(stream), 0);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    EXPECT_EQ(FSOUND_SetVolume(0, 100), 0);
    EXPECT_EQ(FSOUND_GetVolume(0), 0);
    EXPECT_EQ(FSOUND_SetPan(0, 100), 0);
    EXPECT_EQ(FSOUND_DSP_GetFFTUnit(), nullptr);
    EXPECT_EQ(FSOUND_DSP_Create(&CountCalls, 100, &calls), nullptr);
    EXPECT_EQ(FSOUND_DSP_GetActive(unit), 0);
    FSOUND_DSP_SetActive(unit, 1);
    FSOUND_DSP_Free(unit);
    EXPECT_EQ(FSOUND_Update(), 0);
    EXPECT_EQ(calls, 0);

    const float* spectrum = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(spectrum, nullptr);
    for (int i = 0; i < 512; ++i) {
        ASSERT_EQ(spectrum[i], 0.0f) << "bin " << i;
    }

    FSOUND_STATS stats{};
    stats.blocksMixed = 99;
    stats.streamsOpen = 99;
    FSOUND_GetStats(&stats);
    EXPECT_EQ(stats.blocksMixed, 0u);
    EXPECT_EQ(stats.underruns, 0u);
    EXPECT_EQ(stats.streamsOpen, 0);
}

class LifecycleTest : public ::testing::Test {
  protected:
    void TearDown() override { FSOUND_Close(); }
    TempDir m_dir;
};

TEST_F(LifecycleTest, CallsBeforeInitDoNothing) {
    const std::string path = m_dir.File("a.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, kBlock, Constant(0.5f, 0.5f)));
    ExpectAllCallsInert(nullptr, nullptr, path);
}

TEST_F(LifecycleTest, CallsAfterCloseDoNothingEvenWithOldHandles) {
    const std::string path = m_dir.File("a.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, 8 * kBlock, Constant(0.5f, 0.5f)));
    ASSERT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL), 0);
    ASSERT_NE(FSOUND_Init(44100, 2, 0), 0);
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_Play(0, stream);
    int calls = 0;
    FSOUND_DSPUNIT* unit = FSOUND_DSP_Create(&CountCalls, 100, &calls);
    ASSERT_NE(unit, nullptr);
    FSOUND_DSP_SetActive(unit, 1);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    FSOUND_Update();
    ASSERT_EQ(calls, 1);

    FSOUND_Close();
    ExpectAllCallsInert(stream, unit, path);
    EXPECT_EQ(calls, 1);
    FSOUND_Close();
    ExpectAllCallsInert(stream, unit, path);
}

TEST_F(LifecycleTest, InitAfterCloseStartsAfreshWithDefaults) {
    const std::string path = m_dir.File("a.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, 8 * kBlock, Constant(0.5f, -0.25f)));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NE(FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL), 0);
        ASSERT_NE(FSOUND_Init(44100, 2, 0), 0);
        EXPECT_EQ(FSOUND_GetVolume(0), 255);
        EXPECT_EQ(FSOUND_GetVolume(1), 255);
        EXPECT_EQ(FSOUND_DSP_GetActive(FSOUND_DSP_GetFFTUnit()), 0);
        EXPECT_EQ(StreamsOpen(), 0);
        {
            OutputCapture out(4 * kBlock);
            FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
            ASSERT_NE(stream, nullptr);
            ASSERT_NE(FSOUND_Stream_Play(0, stream), 0);
            EXPECT_EQ(FSOUND_Update(), kBlock);
            EXPECT_EQ(FSOUND_Update(), kBlock);
            EXPECT_TRUE(FramesAre(out, 0, 2 * kBlock, Pcm(0.5), Pcm(-0.25), 0));

            FSOUND_STATS stats{};
            FSOUND_GetStats(&stats);
            EXPECT_EQ(stats.blocksMixed, 2u);
            EXPECT_EQ(stats.streamsOpen, 1);
            FSOUND_ResetStats();
            FSOUND_GetStats(&stats);
            EXPECT_EQ(stats.blocksMixed, 0u);
            EXPECT_EQ(stats.streamsOpen, 1) << "a reset clears counts, not the streams";
        }
        // Left behind on purpose: Close must take away the settings, the active spectrum
        // unit and the open stream.
        FSOUND_SetVolume(0, 17);
        FSOUND_SetPan(0, 0);
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
        FSOUND_Close();
        FSOUND_Close();
    }
}

} // namespace
} // namespace corvaline::testsupport
