// What a file says of itself: the title, artist and album it is tagged with, for the
// desktop's media controls.
#pragma once

#include <string>

namespace fsound {

struct Tags {
    std::string title; // UTF-8 as far as the file's tags say what they hold; empty when untagged
    std::string artist;
    std::string album;
};

// Reads the file itself, so it belongs on the caller's thread and never on the mixing one,
// and only on a file that has opened as a stream (a name that is a FIFO would block here).
Tags ReadTags(const std::string& path);

} // namespace fsound
