// Hand-over from one deck to the other, by its buttons, by "CrossFade", or
// from the tick: the incoming deck fades in while the outgoing one fades out.
#include "CorvalineDlg.h"
#include "Deck.h"

void CCorvalineDlg::OnOutTo2() {
    HandOver(DeckAt(0), DeckAt(1));
}
void CCorvalineDlg::OnOutTo1() {
    HandOver(DeckAt(1), DeckAt(0));
}

void CCorvalineDlg::OnCrossFade() {
    if ((m_playing1 != 0) == (m_playing2 != 0)) {
        return;
    }
    if (m_playing1) {
        OnOutTo2();
    } else {
        OnOutTo1();
    }
}

// The cross-fade time is judged as the user leaves its edit, with the messages of any read;
// the tick's refresh leaves the edit alone while it has the focus.
void CCorvalineDlg::OnCrossfadeMsKillFocus() {
    UpdateFields();
}

void CCorvalineDlg::HandOver(Deck from, Deck to) {
    // Only a deck that plays, or silence on both sides, can be handed over;
    // otherwise the target already plays alone and nothing is to be done.
    if (!from.playing && to.playing) {
        return;
    }
    const int volume = to.volume;
    const int fadeOut = to.fadeOut;
    FadeIn(to);
    if (m_sequenceRunning) {
        PassOverUnplayable(to);
    } else if (!to.playing) {
        // Nothing to hand over to (a mistyped path, a damaged file): the playing deck goes
        // on as it was rather than fade out into silence, and the incoming deck keeps no
        // fade-in for a later Play. The automatic cross-fade does not try that name again.
        to.fadeIn = 0;
        to.fadeOut = fadeOut;
        to.volume = volume;
        FSOUND_SetVolume(to.channel, volume);
        m_refusedPath = m_path;
        return;
    }
    FadeOut(from);
    if (m_sequenceRunning) {
        TakeNextLine();
    }
}
