// The file a deck has opened, as the desktop's media controls show it: read once, on the
// window's thread, when the deck opens it.
#pragma once

#include "Tags.h"

#include <cstdint>
#include <string>

struct DeckTrack {
    std::uint64_t id = 0; // counts the files opened, so that a file played again is a new track
    std::string path;     // absolute
    fsound::Tags tags;
};
