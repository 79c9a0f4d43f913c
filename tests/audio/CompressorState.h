// Puts the compressor unit's program-wide values back to their start-up state,
// so that no test sees what an earlier one left behind.
#pragma once

#include "CompressorUnit.h"

inline void ResetCompressorState() {
    constexpr auto relaxed = std::memory_order_relaxed;
    g_compressorOn.store(0, relaxed);
    g_gain.store(0.0, relaxed);
    g_peakLeft.store(0, relaxed);
    g_peakRight.store(0, relaxed);
    g_clipLeft.store(0, relaxed);
    g_clipRight.store(0, relaxed);
}
