// Lock-free single-producer/single-consumer ring of stereo float frames.
//
// Thread contract: Write and Free belong to the producer (the feeder), Read and
// Available to the consumer (the mixer). Reset needs both sides to be idle.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fsound {

class FrameRing {
  public:
    explicit FrameRing(std::size_t capacityFrames);

    std::size_t Capacity() const { return m_capacity; }
    std::size_t Available() const;
    std::size_t Free() const;

    // Copy up to `frames` frames in or out; return how many were copied.
    std::size_t Write(const float* frames, std::size_t count);
    std::size_t Read(float* frames, std::size_t count);

    void Reset();

  private:
    std::size_t m_capacity;
    std::vector<float> m_samples;
    // Frame counters that only grow; their difference is the fill level.
    alignas(64) std::atomic<std::uint64_t> m_written{0};
    alignas(64) std::atomic<std::uint64_t> m_read{0};
};

} // namespace fsound
