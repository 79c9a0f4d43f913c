#include "OutputCapture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace corvaline::testsupport {

OutputCapture::OutputCapture(long capacityFrames, int priority)
    : samples_(static_cast<size_t>(std::max(capacityFrames, 0l) * 2)),
      capacityFrames_(std::max(capacityFrames, 0l)) {
    unit_ = FSOUND_DSP_Create(&OutputCapture::Callback, priority, this);
    if (unit_ != nullptr)
        FSOUND_DSP_SetActive(unit_, 1);
}

OutputCapture::~OutputCapture() {
    Release();
}

void OutputCapture::Release() {
    if (unit_ == nullptr)
        return;
    FSOUND_DSP_Free(unit_);
    unit_ = nullptr;
}

void OutputCapture::Clear() {
    frames_.store(0, std::memory_order_release);
    blocks_.store(0, std::memory_order_release);
    dropped_.store(0, std::memory_order_release);
}

void* OutputCapture::Callback(void* block, void*, int frames, void* user) {
    auto* self = static_cast<OutputCapture*>(user);
    self->lastBlockFrames_.store(frames, std::memory_order_release);
    const long at = self->frames_.load(std::memory_order_relaxed);
    const long fits =
        std::clamp(self->capacityFrames_ - at, 0l, static_cast<long>(std::max(frames, 0)));
    if (fits > 0 && block != nullptr)
        std::memcpy(self->samples_.data() + at * 2, block,
                    static_cast<size_t>(fits) * 2 * sizeof(std::int16_t));
    self->dropped_.fetch_add(std::max(frames, 0) - fits, std::memory_order_release);
    self->frames_.store(at + fits, std::memory_order_release);
    self->blocks_.fetch_add(1, std::memory_order_release);
    return block;
}

std::int16_t OutputCapture::Left(long frame) const {
    return frame >= 0 && frame < Frames() ? samples_[static_cast<size_t>(frame * 2)] : 0;
}

std::int16_t OutputCapture::Right(long frame) const {
    return frame >= 0 && frame < Frames() ? samples_[static_cast<size_t>(frame * 2 + 1)] : 0;
}

double OutputCapture::Peak(long begin, long end, Side side) const {
    end = std::min(end, Frames());
    int peak = 0;
    for (long i = std::max(begin, 0l); i < end; ++i) {
        if (side != Side::Right)
            peak = std::max(peak, std::abs(static_cast<int>(Left(i))));
        if (side != Side::Left)
            peak = std::max(peak, std::abs(static_cast<int>(Right(i))));
    }
    return peak / 32768.0;
}

double OutputCapture::Rms(long begin, long end, Side side) const {
    end = std::min(end, Frames());
    double sum = 0.0;
    long count = 0;
    for (long i = std::max(begin, 0l); i < end; ++i) {
        if (side != Side::Right) {
            sum += static_cast<double>(Left(i)) * Left(i);
            ++count;
        }
        if (side != Side::Left) {
            sum += static_cast<double>(Right(i)) * Right(i);
            ++count;
        }
    }
    return count == 0 ? 0.0 : std::sqrt(sum / count) / 32768.0;
}

} // namespace corvaline::testsupport
