#include "Mixer.h"

#include "Stream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace fsound {

namespace {

thread_local bool t_mixing = false;

class MixingScope {
  public:
    MixingScope() { t_mixing = true; }
    ~MixingScope() { t_mixing = false; }
};

} // namespace

GainMatrix MatrixFor(int volume, int pan) {
    const float gain = static_cast<float>(volume) / 255.0f;
    if (pan < 0) {
        return {gain, 0.0f, 0.0f, gain};
    }
    // Panned: the mono fold (L+R)/2 placed with a linear law.
    const float left = gain * static_cast<float>(255 - pan) / 255.0f * 0.5f;
    const float right = gain * static_cast<float>(pan) / 255.0f * 0.5f;
    return {left, left, right, right};
}

Mixer::Mixer(int channels, DspChain& chain)
    : m_channelCount(channels), m_channels(std::make_unique<Channel[]>(channels)), m_chain(chain) {
    for (int i = 0; i < channels; ++i) {
        m_channels[i].gains = MatrixFor(255, -1);
    }
}

bool Mixer::OnMixingThread() {
    return t_mixing;
}

bool Mixer::Holds(const Stream* stream) const {
    for (int i = 0; i < m_channelCount; ++i) {
        if (m_channels[i].stream.load() == stream || m_channels[i].fading.load() == stream) {
            return true;
        }
    }
    return false;
}

void Mixer::TakeOut(Stream* stream) {
    for (int i = 0; i < m_channelCount; ++i) {
        Stream* expected = stream;
        m_channels[i].stream.compare_exchange_strong(expected, nullptr);
        expected = stream;
        m_channels[i].fading.compare_exchange_strong(expected, nullptr);
    }
}

void Mixer::WaitForBlockBoundary() const {
    if (t_mixing) {
        return;
    }
    const std::uint64_t mark = BoundaryMark();
    while (!PassedBoundary(mark)) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

bool Mixer::PassedBoundary(std::uint64_t mark) const {
    // The phase is odd while a block is being mixed.
    return (mark & 1) == 0 || m_blockPhase.load() != mark;
}

void Mixer::MixBlock(std::int16_t* out) {
    const auto started = std::chrono::steady_clock::now();
    MixingScope scope;
    m_blockPhase.fetch_add(1);
    std::memset(m_mix, 0, sizeof m_mix);
    for (int i = 0; i < m_channelCount; ++i) {
        Channel& channel = m_channels[i];
        // The outgoing stream first: it still owns the channel's last gains.
        if (Stream* fading = channel.fading.load()) {
            MixFadeOut(channel, *fading);
            channel.fading.compare_exchange_strong(fading, nullptr);
        }
        Stream* stream = channel.stream.load();
        if (stream != nullptr && !stream->finished.load(std::memory_order_relaxed)) {
            MixStream(channel, *stream);
        }
    }
    Saturate(out);
    std::int16_t* heard = m_chain.Run(out, m_spare, static_cast<int>(kBlockFrames));
    if (heard != out) {
        std::memcpy(out, heard, sizeof m_spare);
    }
    m_blockPhase.fetch_add(1);

    const auto took = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
    stats.blocksMixed.fetch_add(1, std::memory_order_relaxed);
    if (took > stats.worstBlockNs.load(std::memory_order_relaxed)) {
        stats.worstBlockNs.store(took, std::memory_order_relaxed);
    }
}

void Mixer::MixStream(Channel& channel, Stream& stream) {
    const GainMatrix target = MatrixFor(channel.volume.load(std::memory_order_relaxed),
                                        channel.pan.load(std::memory_order_relaxed));
    // A new stream starts at the channel's settings; later changes glide.
    const GainMatrix from = stream.mixerStarted ? channel.gains : target;
    // The end flag is read before the fill level, so a set flag means every
    // frame the file has is already counted in it.
    const bool ending = stream.endOfData.load(std::memory_order_acquire);
    const std::size_t available = stream.ring.Available();
    if (available < kBlockFrames && !ending) {
        stats.underruns.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    stream.mixerStarted = true;
    const std::size_t frames = stream.ring.Read(m_source, kBlockFrames);
    Accumulate(frames, from, target, kBlockFrames);
    channel.gains = target;
    stream.framesMixed.fetch_add(frames, std::memory_order_relaxed);
    if (ending && stream.ring.Available() == 0) {
        stream.finished.store(true, std::memory_order_release);
    }
}

void Mixer::MixFadeOut(Channel& channel, Stream& stream) {
    if (!stream.mixerStarted || stream.finished.load(std::memory_order_relaxed)) {
        return;
    }
    const std::size_t frames = stream.ring.Read(m_source, kStopFadeFrames);
    Accumulate(frames, channel.gains, GainMatrix{}, kStopFadeFrames);
    stream.framesMixed.fetch_add(frames, std::memory_order_relaxed);
}

void Mixer::Accumulate(std::size_t frames, const GainMatrix& from, const GainMatrix& to,
                       std::size_t rampFrames) {
    if (from == to) {
        for (std::size_t i = 0; i < frames; ++i) {
            const float l = m_source[2 * i];
            const float r = m_source[2 * i + 1];
            m_mix[2 * i] += to.leftToLeft * l + to.rightToLeft * r;
            m_mix[2 * i + 1] += to.leftToRight * l + to.rightToRight * r;
        }
        return;
    }
    const float step = 1.0f / static_cast<float>(rampFrames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float t = static_cast<float>(i + 1) * step;
        const float l = m_source[2 * i];
        const float r = m_source[2 * i + 1];
        const float ll = from.leftToLeft + (to.leftToLeft - from.leftToLeft) * t;
        const float rl = from.rightToLeft + (to.rightToLeft - from.rightToLeft) * t;
        const float lr = from.leftToRight + (to.leftToRight - from.leftToRight) * t;
        const float rr = from.rightToRight + (to.rightToRight - from.rightToRight) * t;
        m_mix[2 * i] += ll * l + rl * r;
        m_mix[2 * i + 1] += lr * l + rr * r;
    }
}

void Mixer::Saturate(std::int16_t* out) const {
    for (std::size_t i = 0; i < kBlockFrames * 2; ++i) {
        const float v = std::clamp(m_mix[i] * 32768.0f, -32768.0f, 32767.0f);
        out[i] = static_cast<std::int16_t>(std::lrint(v));
    }
}

} // namespace fsound
