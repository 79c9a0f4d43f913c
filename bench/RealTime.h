#pragma once

#include <string>

namespace corvaline::bench {

struct CallTimes {
    bool ok = false;
    double medianMs = 0;
    double maxMs = 0;
};

// Wall time of FSOUND_Stream_OpenFile + FSOUND_Stream_Close, repeated: the pause a
// user sees on the caller's thread when a deck loads a file.
CallTimes MeasureOpenClose(const std::string& path, int repeats);

// Wall time of FSOUND_Stream_Stop + FSOUND_Stream_Close of a stream that plays, in
// NOSOUND output, repeated at moments spread over the block: what a deck's Play of a
// new file costs the window's thread before it opens that file.
CallTimes MeasureStopCloseWhilePlaying(const std::string& path, int repeats);

struct SoakResult {
    bool ok = false;
    std::string note;    // what went wrong, or what looked wrong
    bool loaded = false; // stress-ng ran alongside
    double seconds = 0;
    double worstBlockMs = 0;
    unsigned long long underruns = 0;
    unsigned long long blocksMixed = 0;
};

// Two decks in NOSOUND output (the library's own real-time mixing thread) for the
// given time, with stress-ng keeping every core busy when it is installed.
SoakResult Soak(const std::string& deck1, const std::string& deck2, double seconds);

} // namespace corvaline::bench
