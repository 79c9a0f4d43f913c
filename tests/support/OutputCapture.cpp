#include "OutputCapture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace corvaline::testsupport {

OutputCapture::OutputCapture(long capacityFrames, int priority)
    : m_samples(static_cast<size_t>(std::max(capacityFrames, 0l) * 2)),
      m_capacityFrames(std::max(capacityFrames, 0l)) {
    m_unit = FSOUND_DSP_Create(&OutputCapture::Callback, priority, this);
    if (m_unit != nullptr) {
        FSOUND_DSP_SetActive(m_unit, 1);
    }
}

OutputCapture::~OutputCapture() {
    Release();
}

void OutputCapture::Release() {
    if (m_unit == nullptr) {
        return;
    }
    FSOUND_DSP_Free(m_unit);
    m_unit = nullptr;
}

void OutputCapture::Clear() {
    m_frames.store(0, std::memory_order_release);
    m_blocks.store(0, std::memory_order_release);
    m_dropped.store(0, std::memory_order_release);
}

void* OutputCapture::Callback(void* block, void*, int frames, void* user) {
    auto* self = static_cast<OutputCapture*>(user);
    self->m_lastBlockFrames.store(frames, std::memory_order_release);
    const long at = self->m_frames.load(std::memory_order_relaxed);
    const long fits =
        std::clamp(self->m_capacityFrames - at, 0l, static_cast<long>(std::max(frames, 0)));
    if (fits > 0 && block != nullptr) {
        std::memcpy(self->m_samples.data() + at * 2, block,
                    static_cast<size_t>(fits) * 2 * sizeof(std::int16_t));
    }
    self->m_dropped.fetch_add(std::max(frames, 0) - fits, std::memory_order_release);
    self->m_frames.store(at + fits, std::memory_order_release);
    self->m_blocks.fetch_add(1, std::memory_order_release);
    return block;
}

std::int16_t OutputCapture::Left(long frame) const {
    return frame >= 0 && frame < Frames() ? m_samples[static_cast<size_t>(frame * 2)] : 0;
}

std::int16_t OutputCapture::Right(long frame) const {
    return frame >= 0 && frame < Frames() ? m_samples[static_cast<size_t>(frame * 2 + 1)] : 0;
}

double OutputCapture::Peak(long begin, long end, Side side) const {
    end = std::min(end, Frames());
    int peak = 0;
    for (long i = std::max(begin, 0l); i < end; ++i) {
        if (side != Side::Right) {
            peak = std::max(peak, std::abs(static_cast<int>(Left(i))));
        }
        if (side != Side::Left) {
            peak = std::max(peak, std::abs(static_cast<int>(Right(i))));
        }
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
