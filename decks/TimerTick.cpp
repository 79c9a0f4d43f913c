// The 25 ms tick: everything in the window that changes with time, in a fixed
// order, with the per-deck steps written once for both decks.
#include "CompressorUnit.h"
#include "CorvalineDlg.h"
#include "Deck.h"
#include "RemoteControl.h"
#include "Resources.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

// A tick that finds this many earlier ticks since the last refresh re-reads
// the controls and shows the gain: every 22nd tick, about every 550 ms.
constexpr int kTicksBeforeRefresh = 20;
constexpr int kFadeStep = 2;
// A whole fade, 0 to full volume (255) in steps of 2 every 25 ms.
constexpr std::int64_t kFadeMs = 3200;

// Percentage played, truncated toward zero and held to the bar's range. The
// clamp comes before the conversion, which would be undefined for a fraction
// far outside it; a track of no length shows as not begun.
int ProgressPercent(int timeMs, int lengthMs) {
    if (lengthMs <= 0) {
        return 0;
    }
    const float played = static_cast<float>(static_cast<double>(timeMs) / lengthMs);
    const float percent = played * 100.0f;
    if (!(percent > 0.0f)) {
        return 0;
    }
    if (percent >= 100.0f) {
        return 100;
    }
    return static_cast<int>(percent);
}

// The cross-fade time as set, taken as a signed 32-bit number of milliseconds.
std::int64_t SetLeadMs(UINT crossfadeMs) {
    return static_cast<int>(crossfadeMs);
}

} // namespace

void CCorvalineDlg::OnTimer(UINT_PTR nIDEvent) {
    CClientDC dc(this);
    // A message box opened further down runs its own event loop, which keeps
    // delivering ticks; those must leave the interrupted tick's state alone.
    if (!m_inTick) {
        m_inTick = 1;
        const bool visible = !IsIconic();
        m_panel1.SetDC(&dc);
        m_panel2.SetDC(&dc);

        if (m_playing1 || m_playing2) {
            if (visible) {
                FeedMeter(m_panel1, g_peakLeft);
                FeedMeter(m_panel2, g_peakRight);
            }
            // Taken and cleared in one step, so that a clip the mixer reports
            // in between is kept for the next tick rather than lost.
            if (g_clipLeft.exchange(0, std::memory_order_relaxed)) {
                m_panel1.UpdateLamp(1);
            }
            if (g_clipRight.exchange(0, std::memory_order_relaxed)) {
                m_panel2.UpdateLamp(1);
            }
        } else if (visible) {
            m_panel1.SetLevel(0.0f);
            m_panel2.SetLevel(0.0f);
        }

        if (m_playing1) {
            StepDeck(DeckAt(0), DeckAt(1));
        }
        // Deck 1's steps may have started deck 2: it is served in this tick.
        if (m_playing2) {
            StepDeck(DeckAt(1), DeckAt(0));
        }
        // A hand-over may have opened a message box, whose event loop can
        // repaint the window and leave the panels a surface that is gone.
        m_panel1.SetDC(&dc);
        m_panel2.SetDC(&dc);

        if (visible) {
            m_panel1.DrawSpectrum(FSOUND_DSP_GetSpectrum());
        }
        if (m_panelsFresh) {
            m_panel1.Sweep();
            m_panel2.Sweep();
            m_panelsFresh = 0;
        }

        if (m_remote) {
            m_remote->Tick();
        }

        if (m_tickCount++ > kTicksBeforeRefresh) {
            // The edit being typed in is left alone: a number half typed is no value to
            // judge, and one written back would undo the typing. Handlers read it, and so
            // does the window when the focus leaves it.
            UpdateDataBesideFocus(TRUE);
            m_gainDb = g_gain.load(std::memory_order_relaxed);
            UpdateDataBesideFocus(FALSE);
            m_tickCount = 0;
            // Only after a refresh: the gain shown is then the one the level unit keeps
            // while nothing plays.
            if (TickCouldChangeNothing()) {
                SleepTick();
            }
        }
        // The surface dies with this call; the panels must not keep it.
        m_panel1.SetDC(nullptr);
        m_panel2.SetDC(nullptr);
        m_inTick = 0;
    }
    CDialog::OnTimer(nIDEvent);
}

// With no deck playing the mixer sends silence, which moves neither the level unit's gain
// nor a meter; once the panels rest as well (or are not shown), every tick until a deck
// starts or the window is painted would draw and show exactly what is there.
bool CCorvalineDlg::TickCouldChangeNothing() const {
    if (m_playing1 || m_playing2 || m_panelsFresh) {
        return false;
    }
    return IsIconic() ||
           (m_panel1.NeedleAtRest() && m_panel2.NeedleAtRest() && m_panel1.SpectrumAtRest());
}

// Outside a run, a hand-over that found nothing to start leaves the playing deck armed; it
// is tried again only once the path edit names another file, not on every tick (each try
// reads the controls, and an open costs file access on this thread).
bool CCorvalineDlg::NamesRefusedFile() {
    if (m_sequenceRunning) {
        return false;
    }
    std::string path;
    GetDlgItemText(IDC_PATH, path);
    return path == m_refusedPath;
}

// One deck's share of the tick, in this order: the automatic cross-fade when it is due, the
// progress, the end of the track, the fade step. A run's own policy at these steps is
// written apart below.
void CCorvalineDlg::StepDeck(Deck deck, Deck other) {
    const int timeMs = FSOUND_Stream_GetTime(deck.stream);
    if (CrossfadeDue(deck, other, timeMs)) {
        HandOver(deck, other);
    }
    deck.progress.SetPos(ProgressPercent(timeMs, deck.lengthMs));
    // Outside a run a track that has ended only leaves its deck not playing: the bar, the
    // volume and the fades stay as they were.
    deck.playing = FSOUND_IsPlaying(deck.channel) ? 1 : 0;
    if (!deck.playing && m_sequenceRunning) {
        RunTrackEnded(deck, other);
    }
    StepFade(deck);
}

// Due once the time left is below the lead, and disarmed by the fade-out the hand-over
// starts. A negative remaining time (a track reported as shorter than its position) counts as
// less; 64 bits keep the difference from overflowing.
bool CCorvalineDlg::CrossfadeDue(Deck deck, Deck other, int timeMs) {
    if (!m_autoCrossfade || deck.fadeOut) {
        return false;
    }
    const std::optional<std::int64_t> leadMs =
        m_sequenceRunning ? RunLeadMs(deck, other) : SetLeadMs(m_crossfadeMs);
    const std::int64_t remainingMs = std::int64_t{deck.lengthMs} - timeMs;
    return leadMs && remainingMs < *leadMs && !NamesRefusedFile();
}

void CCorvalineDlg::StepFade(Deck deck) {
    if (deck.fadeOut) {
        deck.volume -= kFadeStep;
        if (deck.volume > 0) {
            FSOUND_SetVolume(deck.channel, deck.volume);
        } else {
            Stop(deck);
        }
    }
    if (deck.fadeIn) {
        deck.volume += kFadeStep;
        if (deck.volume >= kFullVolume) {
            deck.fadeIn = 0;
            deck.volume = kFullVolume;
        }
        FSOUND_SetVolume(deck.channel, deck.volume);
    }
}

// A run's policy at the deck's steps: the lead its automatic cross-fade keeps, and what a
// track that ends by itself leads to.

// The lead a run's track hands over at; none while the other deck is still heard, since a
// run hands over only once that deck has finished. A track too short to outlast the other
// deck's fade-out (shorter than the lead time and a whole fade) would hand over while that
// fade still runs, or as it starts, each track cutting in before the one before was heard
// and taking lines that no deck then plays. So such a track hands over at its middle when
// that comes later; a longer track keeps the set lead, by when the other deck has finished.
std::optional<std::int64_t> CCorvalineDlg::RunLeadMs(Deck deck, Deck other) const {
    if (other.playing) {
        return std::nullopt;
    }
    const std::int64_t leadMs = SetLeadMs(m_crossfadeMs);
    if (deck.lengthMs < leadMs + kFadeMs) {
        return std::min<std::int64_t>(leadMs, deck.lengthMs / 2);
    }
    return leadMs;
}

// A run's track that ended by itself hands over, unless it was already fading out.
void CCorvalineDlg::RunTrackEnded(Deck deck, Deck other) {
    if (!deck.fadeOut && other.playing && other.fadeOut) {
        // Ended while the other deck still fades out the track before it (a very short
        // track, a cut file whose header promised more): this deck goes on to the next
        // line, as after a line that does not open, and that fade-out goes on as it was.
        FadeIn(deck);
        PassOverUnplayable(deck);
        TakeNextLine();
    } else {
        // The hand-over only leaves a playing deck, so the ended one counts as playing
        // for as long as it takes.
        deck.playing = 1;
        if (!deck.fadeOut) {
            HandOver(deck, other);
        }
        deck.playing = 0;
    }
    if (!deck.playing) {
        deck.fadeIn = 0;
        deck.fadeOut = 0;
    }
}
