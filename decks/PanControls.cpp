// The pan sliders and "Full Stereo": the pan lives on the deck's channel in
// the sound library; the program keeps none of its own.
#include "CorvalineDlg.h"
#include "Deck.h"

namespace {

void PanReleased(CCorvalineDlg& dlg, Deck deck, LRESULT* pResult) {
    dlg.UpdateFields();
    FSOUND_SetPan(deck.channel, deck.panSlider.GetPos());
    dlg.UpdateControls();
    *pResult = 0;
}

void FullStereo(CCorvalineDlg& dlg, Deck deck) {
    dlg.UpdateFields();
    FSOUND_SetPan(deck.channel, FSOUND_STEREOPAN);
    deck.panSlider.SetPos(CCorvalineDlg::kCentrePan);
    dlg.UpdateControls();
}

} // namespace

void CCorvalineDlg::OnPanReleased1(NMHDR*, LRESULT* pResult) {
    PanReleased(*this, DeckAt(0), pResult);
}
void CCorvalineDlg::OnPanReleased2(NMHDR*, LRESULT* pResult) {
    PanReleased(*this, DeckAt(1), pResult);
}
void CCorvalineDlg::OnFullStereo1() {
    FullStereo(*this, DeckAt(0));
}
void CCorvalineDlg::OnFullStereo2() {
    FullStereo(*this, DeckAt(1));
}
