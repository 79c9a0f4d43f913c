// The real window with time advanced as it passes for a listener: each tick
// comes after the audio of its 25 ms has been mixed, so positions, ends and
// fades fall on the same ticks on every run.
#pragma once

#include "WindowFixture.h"

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>

namespace corvaline::testsupport {

struct DeckState {
    int playing;
    int fadeIn;
    int fadeOut;
    int volume;
    bool operator==(const DeckState&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const DeckState& s) {
    return os << "{playing " << s.playing << ", fadeIn " << s.fadeIn << ", fadeOut " << s.fadeOut
              << ", volume " << s.volume << "}";
}

class DeckTimeTest : public WindowTest {
  protected:
    static constexpr long kFramesPerTick2 = 2205; // 1102.5 frames per tick, doubled

    // Mixes the audio of the next tick period without running its tick, so
    // that a test can look at the library just before the tick does.
    void MixForTick() {
        ++m_ticks;
        while (m_frames * 2 < m_ticks * kFramesPerTick2) {
            m_frames += Mix(1);
        }
    }
    void Run(int ticks = 1) {
        for (int i = 0; i < ticks; ++i) {
            MixForTick();
            Tick();
        }
    }

    // A steady stereo track of the given length, quiet enough to leave the
    // level control and the limiter alone.
    std::string Track(const std::string& name, double seconds, float left = 0.25f,
                      float right = 0.25f) {
        return WriteWav(name, std::lround(seconds * 44100), Constant(left, right));
    }

    DeckState State(int deck) {
        TestableWindow& d = Dlg();
        return deck == 0 ? DeckState{d.m_playing1, d.m_fadeIn1, d.m_fadeOut1, d.m_volume1}
                         : DeckState{d.m_playing2, d.m_fadeIn2, d.m_fadeOut2, d.m_volume2};
    }
    FSOUND_STREAM* Stream(int deck) { return deck == 0 ? Dlg().m_stream1 : Dlg().m_stream2; }
    int Progress(int deck) {
        return deck == 0 ? Dlg().m_progress1.GetPos() : Dlg().m_progress2.GetPos();
    }
    // What is left of the deck's track by the library's own account.
    int RemainingMs(int deck) {
        return FSOUND_Stream_GetLengthMs(Stream(deck)) - FSOUND_Stream_GetTime(Stream(deck));
    }

    void Play(int deck) { Click(deck == 0 ? IDC_TOCAR_1 : IDC_TOCAR_2); }
    void Stop(int deck) { Click(deck == 0 ? IDC_PARAR_1 : IDC_PARAR_2); }
    void FadeIn(int deck) { Click(deck == 0 ? IDC_FADE_IN_1 : IDC_FADE_IN_2); }
    void FadeOut(int deck) { Click(deck == 0 ? IDC_FADE_OUT_1 : IDC_FADE_OUT_2); }
    // The button "Out to 1" or "Out to 2".
    void OutTo(int deckNumber) { Click(deckNumber == 1 ? IDC_OUT_TO_1 : IDC_OUT_TO_2); }

    void AutoCrossfade(int ms) {
        if (!Checked(IDC_AUTO_CROSSFADE)) {
            Click(IDC_AUTO_CROSSFADE);
        }
        SetText(IDC_CROSSFADE_MS, std::to_string(ms));
        Dlg().UpdateFields();
    }

    long m_ticks = 0;
    std::int64_t m_frames = 0;
};

} // namespace corvaline::testsupport
