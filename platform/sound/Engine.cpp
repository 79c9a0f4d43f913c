#include "Engine.h"

#include <algorithm>

namespace fsound {

namespace {
// Spectrum analysis sits late in the chain, so that it shows what is heard
// after the program's own processing; units above it see the final block.
constexpr int kSpectrumPriority = 900;
} // namespace

Engine::Engine(int channels, Output::Kind output)
    : m_requested(output), m_chain([this] { m_mixer.WaitForBlockBoundary(); }),
      m_mixer(channels, m_chain), m_feeder(output != Output::Kind::Manual, m_mixer),
      m_output(m_mixer) {
    m_spectrumUnit = m_chain.Create(&Spectrum::Callback, kSpectrumPriority, &m_spectrum);
}

Engine::~Engine() = default;

bool Engine::Start() {
    return m_output.Start(m_requested);
}

int Engine::Update() {
    if (m_output.Running() != Output::Kind::Manual) {
        return 0;
    }
    m_feeder.FillForNextBlock();
    m_mixer.MixBlock(m_manualBlock);
    return static_cast<int>(kBlockFrames);
}

Stream* Engine::OpenStream(const std::string& path, long long byteOffset) {
    std::unique_ptr<Stream> stream = Stream::Open(path, byteOffset);
    return stream ? m_feeder.Add(std::move(stream)) : nullptr;
}

bool Engine::PlayStream(int channel, Stream* stream) {
    if (!IsChannel(channel) || !IsStream(stream)) {
        return false;
    }
    const bool rewound = stream->played;
    if (rewound) {
        // Played before: start again from the top, wherever it was.
        m_mixer.TakeOut(stream);
        m_mixer.WaitForBlockBoundary();
        stream->Rewind();
    }
    stream->played = true;
    Channel& slot = m_mixer.At(channel);
    Stream* previous = slot.stream.exchange(stream);
    if (previous) {
        slot.fading.store(previous);
    }
    if (rewound || previous) {
        // The rewound ring wants filling, the stopped one topping up (see StopStream).
        m_feeder.Nudge();
    }
    return true;
}

bool Engine::StopStream(Stream* stream) {
    if (!IsStream(stream)) {
        return false;
    }
    FadeOutOnChannels(stream);
    // A stream stays open while stopped, often until it plays again. Topped up now, its
    // ring is far from the feeder's low water, and the feeder need not look at it often.
    m_feeder.Nudge();
    return true;
}

bool Engine::CloseStream(Stream* stream) {
    if (!IsStream(stream)) {
        return false;
    }
    if (m_output.Running() == Output::Kind::Manual) {
        // Nothing mixes between calls, so nothing is there to fade it out: it
        // is cut and released at once.
        m_mixer.TakeOut(stream);
        m_feeder.Remove(stream);
        return true;
    }
    // The mixer fades it out over its next block; the feeder thread releases
    // it after that, so the caller never waits for the mixer.
    FadeOutOnChannels(stream);
    m_feeder.Retire(stream);
    return true;
}

void Engine::FadeOutOnChannels(Stream* stream) {
    for (int i = 0; i < m_mixer.ChannelCount(); ++i) {
        Channel& slot = m_mixer.At(i);
        Stream* expected = stream;
        if (slot.stream.compare_exchange_strong(expected, nullptr)) {
            slot.fading.store(stream);
        }
    }
}

bool Engine::IsPlaying(int channel) {
    const Stream* stream = m_mixer.At(channel).stream.load();
    return stream != nullptr && !stream->finished.load(std::memory_order_acquire);
}

void Engine::SetVolume(int channel, int volume) {
    m_mixer.At(channel).volume.store(std::clamp(volume, 0, 255), std::memory_order_relaxed);
}

int Engine::Volume(int channel) {
    return m_mixer.At(channel).volume.load(std::memory_order_relaxed);
}

void Engine::SetPan(int channel, int pan) {
    const int value = pan == -1 ? -1 : std::clamp(pan, 0, 255);
    m_mixer.At(channel).pan.store(value, std::memory_order_relaxed);
}

void Engine::FreeUnit(Unit* unit) {
    // The spectrum unit is the library's own and lives as long as it does.
    if (unit != m_spectrumUnit) {
        m_chain.Free(unit);
    }
}

void Engine::ReadSpectrum(float* bins) const {
    if (m_spectrumUnit != nullptr && m_spectrumUnit->active.load(std::memory_order_relaxed)) {
        m_spectrum.Read(bins);
    } else {
        std::fill(bins, bins + Spectrum::kBins, 0.0f);
    }
}

void Engine::ReadStats(FSOUND_STATS& stats) {
    stats.blocksMixed = m_mixer.stats.blocksMixed.load(std::memory_order_relaxed);
    stats.underruns = m_mixer.stats.underruns.load(std::memory_order_relaxed);
    stats.worstBlockMs =
        static_cast<double>(m_mixer.stats.worstBlockNs.load(std::memory_order_relaxed)) / 1e6;
    stats.streamsOpen = Stream::LiveCount();
    stats.bytesRead = BytesRead();
    // The spectrum unit is the library's own, not one a caller has to free.
    stats.unitsOpen = static_cast<int>(m_chain.Size()) - (m_spectrumUnit != nullptr ? 1 : 0);
}

void Engine::ResetStats() {
    m_mixer.stats.blocksMixed.store(0, std::memory_order_relaxed);
    m_mixer.stats.underruns.store(0, std::memory_order_relaxed);
    m_mixer.stats.worstBlockNs.store(0, std::memory_order_relaxed);
}

} // namespace fsound
