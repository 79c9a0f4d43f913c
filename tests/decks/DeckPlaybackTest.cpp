// Play and Stop of the two decks, checked on the window's fields and on what the library
// mixes. Levels stay below the level control's thresholds unless a test wants it to act.
#include "MessageBoxWatcher.h"
#include "WindowFixture.h"

#include <algorithm>

using namespace corvaline::testsupport;

namespace {

constexpr int kFullVolume = CCorvalineDlg::kFullVolume;

class DeckPlaybackTest : public WindowTest {
  protected:
    // A steady stereo track of one second.
    std::string Track(const std::string& name, float left, float right = 0.0f) {
        return WriteWav(name, 44100, Constant(left, right));
    }
};

} // namespace

TEST_F(DeckPlaybackTest, PlayWithAnEmptyPathLeavesBothDecksAsTheyWere) {
    SetPath(Track("a.wav", 0.25f));
    Click(IDC_TOCAR_1);
    ASSERT_EQ(Dlg().m_playing1, 1);
    FSOUND_STREAM* const stream = Dlg().m_stream1;

    SetPath("");
    Click(IDC_AUTO_CROSSFADE);
    Click(IDC_TOCAR_1);
    Click(IDC_TOCAR_2);
    EXPECT_EQ(Dlg().m_autoCrossfade, 1) << "the controls were read";
    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_EQ(Dlg().m_stream1, stream);
    EXPECT_EQ(Dlg().m_playing2, 0);
    EXPECT_EQ(Dlg().m_stream2, nullptr);
    EXPECT_EQ(Dlg().m_volume2, 0);
    MixSettled();
    EXPECT_EQ(Out().Left(0), 8192);
}

TEST_F(DeckPlaybackTest, PlayOnAPlayingDeckRestartsItOnTheCurrentPath) {
    SetPath(Track("a.wav", 0.25f));
    Click(IDC_TOCAR_1);
    // As if a fade had lowered it and time had passed.
    Dlg().m_volume1 = 100;
    FSOUND_SetVolume(0, 100);
    Mix(20);
    Dlg().m_progress1.SetPos(40);

    const std::string shorter = m_dir.File("b.wav");
    ASSERT_TRUE(WriteWav16(shorter, 44100, 2, 22050, Constant(0.125f, 0.0f)));
    SetPath(shorter);
    Click(IDC_TOCAR_1);
    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_EQ(Dlg().m_volume1, kFullVolume);
    EXPECT_EQ(FSOUND_GetVolume(0), kFullVolume);
    EXPECT_EQ(Dlg().m_progress1.GetPos(), 0);
    EXPECT_EQ(Dlg().m_lengthMs1, 500);
    EXPECT_EQ(FSOUND_Stream_GetTime(Dlg().m_stream1), 0);
    MixSettled();
    EXPECT_EQ(Out().Left(0), 4096);
}

TEST_F(DeckPlaybackTest, AFailedOpenEndsStoppedAndSilent) {
    MessageBoxWatcher watcher;
    // The start-up text of the path edit is a pattern, not a file.
    Click(IDC_TOCAR_2);
    EXPECT_EQ(Dlg().m_playing2, 0);
    EXPECT_EQ(Dlg().m_compressorUnit, nullptr) << "no unit without a playing deck";

    SetPath(Track("a.wav", 0.25f));
    Click(IDC_TOCAR_1);
    Mix(5);
    Dlg().m_progress1.SetPos(30);
    SetPath(m_dir.File("missing.wav"));
    Click(IDC_TOCAR_1);
    EXPECT_EQ(Dlg().m_playing1, 0);
    EXPECT_EQ(Dlg().m_stream1, nullptr);
    EXPECT_EQ(Dlg().m_progress1.GetPos(), 0);
    EXPECT_EQ(Dlg().m_compressorUnit, nullptr);
    Mix(2);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    MixSettled();
    EXPECT_EQ(Out().Peak(0, FSOUND_BLOCK_FRAMES), 0.0);
    EXPECT_TRUE(watcher.Seen().empty());
}

TEST_F(DeckPlaybackTest, StopOnAStoppedDeckChangesNothing) {
    Dlg().m_progress1.SetPos(37);
    Click(IDC_PARAR_1);
    EXPECT_EQ(Dlg().m_progress1.GetPos(), 37);
    EXPECT_EQ(Dlg().m_volume1, 0) << "a Stop that ran would leave 255";

    SetPath(Track("a.wav", 0.25f));
    Click(IDC_TOCAR_1);
    Dlg().m_fadeIn1 = 1;
    Dlg().m_fadeOut1 = 0;
    Click(IDC_PARAR_1);
    EXPECT_EQ(Dlg().m_playing1, 0);
    EXPECT_EQ(Dlg().m_volume1, kFullVolume);
    EXPECT_EQ(Dlg().m_fadeIn1, 1) << "Stop leaves a fade-in pending";
    EXPECT_EQ(Dlg().m_progress1.GetPos(), 0);
    Dlg().m_progress1.SetPos(37);
    Click(IDC_PARAR_1);
    EXPECT_EQ(Dlg().m_progress1.GetPos(), 37);
    Mix(2);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);

    // Only the next Play starts the bar again.
    Click(IDC_TOCAR_1);
    EXPECT_EQ(Dlg().m_progress1.GetPos(), 0);
}

TEST_F(DeckPlaybackTest, BothDecksPlayTheSameFileEachOnAStreamOfItsOwn) {
    SetPath(Track("a.wav", 0.2f, 0.1f));
    Click(IDC_TOCAR_1);
    Click(IDC_TOCAR_2);
    EXPECT_EQ(StreamsOpen(), 2);
    EXPECT_NE(Dlg().m_stream1, Dlg().m_stream2);
    MixSettled();
    EXPECT_EQ(Out().Left(0), 2 * 6554);
    EXPECT_EQ(Out().Right(0), 2 * 3277);

    Click(IDC_PARAR_1);
    MixSettled();
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    EXPECT_NE(FSOUND_IsPlaying(1), 0);
    EXPECT_EQ(Out().Left(0), 6554);
}

TEST_F(DeckPlaybackTest, TheCompressorUnitIsInPlaceWhileAnyDeckPlays) {
    FSOUND_DSPUNIT* const fft = FSOUND_DSP_GetFFTUnit();
    EXPECT_EQ(FSOUND_DSP_GetActive(fft), 0);
    // Loud enough for the level control to turn the gain down block by block.
    const std::string loud = Track("loud.wav", 0.95f, 0.95f);
    SetPath(loud);
    Click(IDC_TOCAR_1);
    FSOUND_DSPUNIT* const unit = Dlg().m_compressorUnit;
    ASSERT_NE(unit, nullptr);
    EXPECT_NE(FSOUND_DSP_GetActive(unit), 0);
    EXPECT_NE(FSOUND_DSP_GetActive(fft), 0);
    EXPECT_EQ(Dlg().m_fftUnit, fft);

    Click(IDC_TOCAR_2);
    Click(IDC_PARAR_1);
    EXPECT_EQ(Dlg().m_compressorUnit, unit);
    Click(IDC_PARAR_2);
    EXPECT_EQ(Dlg().m_compressorUnit, nullptr);
    EXPECT_NE(FSOUND_DSP_GetActive(fft), 0) << "the spectrum stays on for the run";

    Click(IDC_TOCAR_1);
    MixSettled(8);
    EXPECT_LT(Out().Peak(7 * FSOUND_BLOCK_FRAMES, 8 * FSOUND_BLOCK_FRAMES), 0.9);
    Click(IDC_PARAR_1);
    EXPECT_EQ(Dlg().m_compressorUnit, nullptr);

    // With the unit gone, the library's own mix is what is heard.
    FSOUND_STREAM* direct = FSOUND_Stream_OpenFile(loud.c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(direct, nullptr);
    FSOUND_Stream_Play(0, direct);
    MixSettled(2);
    EXPECT_EQ(Out().Left(FSOUND_BLOCK_FRAMES), 31130);
}

TEST_F(DeckPlaybackTest, PlayGoesOnAfterAFailedValidation) {
    SetPath(Track("a.wav", 0.25f));
    SetText(IDC_CROSSFADE_MS, "1999");
    MessageBoxWatcher watcher;
    Click(IDC_TOCAR_1);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "Please enter an integer between 2000 and 15000.");
    EXPECT_EQ(Dlg().m_playing1, 1);
}

TEST_F(DeckPlaybackTest, AThousandCyclesLeaveOnlyTheDecksStreamsOpen) {
    SetPath(WriteWav("short.wav", 4410, Constant(0.1f, 0.1f)));
    int most = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        Click(IDC_TOCAR_1);
        Click(IDC_TOCAR_2);
        Click(IDC_TOCAR_1);
        if (cycle % 50 == 0) {
            Mix(1);
        }
        Click(IDC_PARAR_2);
        Click(IDC_PARAR_1);
        most = std::max(most, StreamsOpen());
    }
    EXPECT_LE(most, 2);
    EXPECT_EQ(Dlg().m_compressorUnit, nullptr);
}
