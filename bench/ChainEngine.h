#pragma once

#include "fsound.h"

#include <string>
#include <vector>

namespace corvaline::bench {

// The engine set up as the program runs it: a level unit at priority 300 that
// touches every sample, and the spectrum unit, both active. Closes the engine on
// destruction.
class ChainEngine {
  public:
    explicit ChainEngine(int output, bool withUnits = true);
    ~ChainEngine();
    ChainEngine(const ChainEngine&) = delete;
    ChainEngine& operator=(const ChainEngine&) = delete;

    bool started() const { return m_started; }

    // Opens each file and plays it on the channel of its index; false if one fails.
    bool PlayOnChannels(const std::vector<std::string>& paths);
    bool AnyPlaying() const;
    void CloseStreams();

  private:
    bool m_started = false;
    FSOUND_DSPUNIT* m_level = nullptr;
    std::vector<FSOUND_STREAM*> m_streams;
};

} // namespace corvaline::bench
