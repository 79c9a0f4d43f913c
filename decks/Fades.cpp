// Fade in and fade out of a deck: requests that the tick carries out, two
// volume units at a time.
#include "CorvalineDlg.h"
#include "Deck.h"

void CCorvalineDlg::OnFadeIn1() {
    FadeIn(DeckAt(0));
}
void CCorvalineDlg::OnFadeIn2() {
    FadeIn(DeckAt(1));
}
void CCorvalineDlg::OnFadeOut1() {
    FadeOut(DeckAt(0));
}
void CCorvalineDlg::OnFadeOut2() {
    FadeOut(DeckAt(1));
}

void CCorvalineDlg::FadeIn(Deck deck) {
    deck.fadeIn = 1;
    if (deck.fadeOut) {
        // Reversing at the volume reached avoids a jump in level.
        deck.fadeOut = 0;
    } else {
        deck.volume = 0;
    }
    FSOUND_SetVolume(deck.channel, deck.volume);
    if (!deck.playing) {
        // Play sees the pending fade-in and starts at the volume set here.
        Play(deck);
    }
}

void CCorvalineDlg::FadeOut(Deck deck) {
    deck.fadeOut = 1;
    deck.fadeIn = 0;
    // The channel's volume, not the field: a fade-in reversed here continues
    // down from what is actually heard.
    deck.volume = FSOUND_GetVolume(deck.channel);
}
