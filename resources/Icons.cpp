#include "Resources.h"

// The pictures are XPM text: C arrays that Qt reads as they are.
#include "AboutIcon32.xpm"
#include "DeckIcon16.xpm"
#include "DeckIcon32.xpm"

void RegisterIcons() {
    // The window's icon offers both sizes so the task bar and the title bar
    // each get a picture drawn for its size instead of a scaled one.
    AfxRegisterIcon(IDR_MAINFRAME, {deckIcon32, deckIcon16});
    AfxRegisterIcon(IDI_ABOUT, {aboutIcon32});
}
