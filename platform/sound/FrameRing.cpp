#include "FrameRing.h"

#include <algorithm>
#include <cstring>

namespace fsound {

namespace {
constexpr std::size_t kChannels = 2;
}

FrameRing::FrameRing(std::size_t capacityFrames)
    : m_capacity(capacityFrames), m_samples(capacityFrames * kChannels) {}

std::size_t FrameRing::Available() const {
    return static_cast<std::size_t>(m_written.load(std::memory_order_acquire) -
                                    m_read.load(std::memory_order_relaxed));
}

std::size_t FrameRing::Free() const {
    return m_capacity - static_cast<std::size_t>(m_written.load(std::memory_order_relaxed) -
                                                 m_read.load(std::memory_order_acquire));
}

std::size_t FrameRing::Write(const float* frames, std::size_t count) {
    const std::uint64_t w = m_written.load(std::memory_order_relaxed);
    count = std::min(count, Free());
    const std::size_t start = static_cast<std::size_t>(w % m_capacity);
    const std::size_t first = std::min(count, m_capacity - start);
    std::memcpy(&m_samples[start * kChannels], frames, first * kChannels * sizeof(float));
    std::memcpy(&m_samples[0], frames + first * kChannels,
                (count - first) * kChannels * sizeof(float));
    m_written.store(w + count, std::memory_order_release);
    return count;
}

std::size_t FrameRing::Read(float* frames, std::size_t count) {
    const std::uint64_t r = m_read.load(std::memory_order_relaxed);
    count = std::min(count, Available());
    const std::size_t start = static_cast<std::size_t>(r % m_capacity);
    const std::size_t first = std::min(count, m_capacity - start);
    std::memcpy(frames, &m_samples[start * kChannels], first * kChannels * sizeof(float));
    std::memcpy(frames + first * kChannels, &m_samples[0],
                (count - first) * kChannels * sizeof(float));
    m_read.store(r + count, std::memory_order_release);
    return count;
}

void FrameRing::Reset() {
    m_written.store(0, std::memory_order_relaxed);
    m_read.store(0, std::memory_order_relaxed);
}

} // namespace fsound
