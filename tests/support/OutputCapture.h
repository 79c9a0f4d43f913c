// Records what the sound library hands to its output, for checks on the mixed samples.
#pragma once

#include "fsound.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace corvaline::testsupport {

// A processing unit placed after every unit of the library's own (the spectrum sits at
// 900), so that it sees each block exactly as it is heard. It is created active and copies
// each block into a buffer allocated up front, since it runs on the mixing thread; blocks
// that no longer fit are counted and dropped.
//
// Create it after FSOUND_Init and release it before FSOUND_Close. Clear() and the readers
// must not run while a block is being mixed into it (with the MANUAL output they never do).
class OutputCapture {
  public:
    enum class Side { Left, Right, Both };
    static constexpr int kPriority = 1000;

    explicit OutputCapture(long capacityFrames, int priority = kPriority);
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Frees the unit; the destructor does it too when it was not done before.
    void Release();
    void Clear();

    FSOUND_DSPUNIT* Unit() const { return m_unit; }
    long Frames() const { return m_frames.load(std::memory_order_acquire); }
    long Blocks() const { return m_blocks.load(std::memory_order_acquire); }
    long DroppedFrames() const { return m_dropped.load(std::memory_order_acquire); }
    // Frame count the callback was given last, 0 before any block.
    int LastBlockFrames() const { return m_lastBlockFrames.load(std::memory_order_acquire); }

    std::int16_t Left(long frame) const;
    std::int16_t Right(long frame) const;
    // Over frames [begin, end), as a fraction of full scale (sample / 32768).
    double Peak(long begin, long end, Side side = Side::Both) const;
    double Rms(long begin, long end, Side side = Side::Both) const;

  private:
    static void* Callback(void* block, void* other, int frames, void* user);

    std::vector<std::int16_t> m_samples;
    long m_capacityFrames;
    std::atomic<long> m_frames{0};
    std::atomic<long> m_blocks{0};
    std::atomic<long> m_dropped{0};
    std::atomic<int> m_lastBlockFrames{0};
    FSOUND_DSPUNIT* m_unit = nullptr;
};

} // namespace corvaline::testsupport
