// One entry of the playlist: the file's full path, and whether the current
// shuffle has already placed it.
#pragma once

#include <string>

struct SequenceEntry {
    std::string path;
    int picked = 0;
};
