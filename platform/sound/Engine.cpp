#include "Engine.h"

#include <algorithm>

namespace fsound {

namespace {
// Spectrum analysis sits late in the chain, so that it shows what is heard
// after the program's own processing; units above it see the final block.
constexpr int kSpectrumPriority = 900;
} // namespace

Engine::Engine(int channels, Output::Kind output)
    : requested_(output), chain_([this] { mixer_.WaitForBlockBoundary(); }),
      mixer_(channels, chain_), feeder_(output != Output::Kind::Manual, mixer_), output_(mixer_) {
    spectrumUnit_ = chain_.Create(&Spectrum::Callback, kSpectrumPriority, &spectrum_);
}

Engine::~Engine() = default;

bool Engine::Start() { return output_.Start(requested_); }

int Engine::Update() {
    if (output_.Running() != Output::Kind::Manual) {
        return 0;
    }
    feeder_.FillForNextBlock();
    mixer_.MixBlock(manualBlock_);
    return static_cast<int>(kBlockFrames);
}

Stream* Engine::OpenStream(const std::string& path, long long byteOffset) {
    std::unique_ptr<Stream> stream = Stream::Open(path, byteOffset);
    return stream ? feeder_.Add(std::move(stream)) : nullptr;
}

bool Engine::PlayStream(int channel, Stream* stream) {
    if (!IsChannel(channel) || !IsStream(stream)) {
        return false;
    }
    const bool rewound = stream->played;
    if (rewound) {
        // Played before: start again from the top, wherever it was.
        mixer_.TakeOut(stream);
        mixer_.WaitForBlockBoundary();
        stream->Rewind();
    }
    stream->played = true;
    Channel& slot = mixer_.At(channel);
    Stream* previous = slot.stream.exchange(stream);
    if (previous) {
        slot.fading.store(previous);
    }
    if (rewound || previous) {
        // The rewound ring wants filling, the stopped one topping up (see StopStream).
        feeder_.Nudge();
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
    feeder_.Nudge();
    return true;
}

bool Engine::CloseStream(Stream* stream) {
    if (!IsStream(stream)) {
        return false;
    }
    if (output_.Running() == Output::Kind::Manual) {
        // Nothing mixes between calls, so nothing is there to fade it out: it
        // is cut and released at once.
        mixer_.TakeOut(stream);
        feeder_.Remove(stream);
        return true;
    }
    // The mixer fades it out over its next block; the feeder thread releases
    // it after that, so the caller never waits for the mixer.
    FadeOutOnChannels(stream);
    feeder_.Retire(stream);
    return true;
}

void Engine::FadeOutOnChannels(Stream* stream) {
    for (int i = 0; i < mixer_.ChannelCount(); ++i) {
        Channel& slot = mixer_.At(i);
        Stream* expected = stream;
        if (slot.stream.compare_exchange_strong(expected, nullptr)) {
            slot.fading.store(stream);
        }
    }
}

bool Engine::IsPlaying(int channel) {
    const Stream* stream = mixer_.At(channel).stream.load();
    return stream != nullptr && !stream->finished.load(std::memory_order_acquire);
}

void Engine::SetVolume(int channel, int volume) {
    mixer_.At(channel).volume.store(std::clamp(volume, 0, 255), std::memory_order_relaxed);
}

int Engine::Volume(int channel) { return mixer_.At(channel).volume.load(std::memory_order_relaxed); }

void Engine::SetPan(int channel, int pan) {
    const int value = pan == -1 ? -1 : std::clamp(pan, 0, 255);
    mixer_.At(channel).pan.store(value, std::memory_order_relaxed);
}

void Engine::FreeUnit(Unit* unit) {
    // The spectrum unit is the library's own and lives as long as it does.
    if (unit != spectrumUnit_) {
        chain_.Free(unit);
    }
}

void Engine::ReadSpectrum(float* bins) const {
    if (spectrumUnit_ != nullptr && spectrumUnit_->active.load(std::memory_order_relaxed)) {
        spectrum_.Read(bins);
    } else {
        std::fill(bins, bins + Spectrum::kBins, 0.0f);
    }
}

void Engine::ReadStats(FSOUND_STATS& stats) {
    stats.blocksMixed = mixer_.stats.blocksMixed.load(std::memory_order_relaxed);
    stats.underruns = mixer_.stats.underruns.load(std::memory_order_relaxed);
    stats.worstBlockMs =
        static_cast<double>(mixer_.stats.worstBlockNs.load(std::memory_order_relaxed)) / 1e6;
    stats.streamsOpen = Stream::LiveCount();
    stats.bytesRead = BytesRead();
    // The spectrum unit is the library's own, not one a caller has to free.
    stats.unitsOpen = static_cast<int>(chain_.Size()) - (spectrumUnit_ != nullptr ? 1 : 0);
}

void Engine::ResetStats() {
    mixer_.stats.blocksMixed.store(0, std::memory_order_relaxed);
    mixer_.stats.underruns.store(0, std::memory_order_relaxed);
    mixer_.stats.worstBlockNs.store(0, std::memory_order_relaxed);
}

} // namespace fsound
