#include "FrameRing.h"

#include <algorithm>
#include <cstring>

namespace fsound {

namespace {
constexpr std::size_t kChannels = 2;
}

FrameRing::FrameRing(std::size_t capacityFrames)
    : capacity_(capacityFrames), samples_(capacityFrames * kChannels) {}

std::size_t FrameRing::Available() const {
    return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                    read_.load(std::memory_order_relaxed));
}

std::size_t FrameRing::Free() const {
    return capacity_ - static_cast<std::size_t>(written_.load(std::memory_order_relaxed) -
                                                read_.load(std::memory_order_acquire));
}

std::size_t FrameRing::Write(const float* frames, std::size_t count) {
    const std::uint64_t w = written_.load(std::memory_order_relaxed);
    count = std::min(count, Free());
    const std::size_t start = static_cast<std::size_t>(w % capacity_);
    const std::size_t first = std::min(count, capacity_ - start);
    std::memcpy(&samples_[start * kChannels], frames, first * kChannels * sizeof(float));
    std::memcpy(&samples_[0], frames + first * kChannels,
                (count - first) * kChannels * sizeof(float));
    written_.store(w + count, std::memory_order_release);
    return count;
}

std::size_t FrameRing::Read(float* frames, std::size_t count) {
    const std::uint64_t r = read_.load(std::memory_order_relaxed);
    count = std::min(count, Available());
    const std::size_t start = static_cast<std::size_t>(r % capacity_);
    const std::size_t first = std::min(count, capacity_ - start);
    std::memcpy(frames, &samples_[start * kChannels], first * kChannels * sizeof(float));
    std::memcpy(frames + first * kChannels, &samples_[0],
                (count - first) * kChannels * sizeof(float));
    read_.store(r + count, std::memory_order_release);
    return count;
}

void FrameRing::Reset() {
    written_.store(0, std::memory_order_relaxed);
    read_.store(0, std::memory_order_relaxed);
}

} // namespace fsound
