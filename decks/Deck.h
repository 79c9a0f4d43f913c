// One deck seen through the window's fields: the fields, channel and
// controls of deck 1 or deck 2, so that every per-deck operation is written
// once. A Deck is a view; it lives no longer than the handler that made it.
#pragma once

#include "Afx.h"
#include "DeckTrack.h"
#include "fsound.h"

struct Deck {
    int channel; // 0 for deck 1, 1 for deck 2: also the sound library's channel
    int& volume;
    int& fadeOut;
    int& fadeIn;
    int& lengthMs;
    int& playing;
    FSOUND_STREAM*& stream;
    DeckTrack& track;
    CProgressCtrl& progress;
    CSliderCtrl& panSlider;
};
