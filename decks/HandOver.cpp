// Hand-over from one deck to the other, by its buttons, by "CrossFade", or
// from the tick: the incoming deck fades in while the outgoing one fades out.
#include "CorvalineDlg.h"
#include "Deck.h"

void CCorvalineDlg::OnOutTo2() { HandOver(DeckAt(0), DeckAt(1)); }
void CCorvalineDlg::OnOutTo1() { HandOver(DeckAt(1), DeckAt(0)); }

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

void CCorvalineDlg::HandOver(Deck from, Deck to) {
    // Only a deck that plays, or silence on both sides, can be handed over;
    // otherwise the target already plays alone and nothing is to be done.
    if (!from.playing && to.playing) {
        return;
    }
    FadeIn(to);
    if (m_sequenceRunning) {
        PassOverUnplayable(to);
    }
    FadeOut(from);
    if (m_sequenceRunning) {
        // The edit shows the file that the next hand-over will start.
        UpdateFields();
        m_path = NextInSequence();
        UpdateControls();
    }
}
