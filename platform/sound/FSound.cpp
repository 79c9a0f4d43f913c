// The library's C interface: argument checks, the library's lock, and the
// handles, over the Engine.
#include "fsound.h"
#include "fsound_stats.h"

#include "Engine.h"

#include <array>
#include <memory>
#include <mutex>

using fsound::Engine;
using fsound::Mixer;
using fsound::Output;
using fsound::Stream;
using fsound::Unit;

namespace {

constexpr int kMaxChannels = 64;

std::mutex g_lock;
std::unique_ptr<Engine> g_engine;             // guarded by g_lock
Output::Kind g_output = Output::Kind::Device; // guarded by g_lock

Stream* AsStream(FSOUND_STREAM* handle) {
    return reinterpret_cast<Stream*>(handle);
}
Unit* AsUnit(FSOUND_DSPUNIT* handle) {
    return reinterpret_cast<Unit*>(handle);
}

// Runs `call` on the started engine under the library's lock; `refused`
// when the library is not started, or when a unit callback calls back into
// the library from the mixing thread, which must never wait for a lock.
template <typename Result, typename Call> Result WithEngine(Result refused, Call&& call) {
    if (Mixer::OnMixingThread()) {
        return refused;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_engine) {
        return refused;
    }
    return call(*g_engine);
}

template <typename Call> void WithEngineDo(Call&& call) {
    WithEngine(0, [&](Engine& e) {
        call(e);
        return 0;
    });
}

} // namespace

extern "C" {

int FSOUND_SetOutput(int output) {
    if (output < FSOUND_OUTPUT_DEVICE || output > FSOUND_OUTPUT_MANUAL || Mixer::OnMixingThread()) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_engine) {
        return 0;
    }
    g_output = static_cast<Output::Kind>(output);
    return 1;
}

int FSOUND_Init(int mixrate, int channels, unsigned /*flags*/) {
    if (mixrate <= 0 || channels <= 0 || channels > kMaxChannels || Mixer::OnMixingThread()) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    g_engine.reset();
    g_engine = std::make_unique<Engine>(channels, g_output);
    return g_engine->Start() ? 1 : 0;
}

void FSOUND_Close(void) {
    if (Mixer::OnMixingThread()) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    g_engine.reset();
}

int FSOUND_Update(void) {
    return WithEngine(0, [](Engine& e) { return e.Update(); });
}

FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* path, unsigned /*mode*/, int offset) {
    if (path == nullptr) {
        return nullptr;
    }
    return WithEngine<FSOUND_STREAM*>(nullptr, [&](Engine& e) {
        return reinterpret_cast<FSOUND_STREAM*>(e.OpenStream(path, offset));
    });
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    return WithEngine(0,
                      [&](Engine& e) { return e.PlayStream(channel, AsStream(stream)) ? 1 : 0; });
}

int FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
    return WithEngine(0, [&](Engine& e) { return e.StopStream(AsStream(stream)) ? 1 : 0; });
}

int FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    return WithEngine(0, [&](Engine& e) { return e.CloseStream(AsStream(stream)) ? 1 : 0; });
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream) {
    return WithEngine(0, [&](Engine& e) {
        return e.IsStream(AsStream(stream)) ? AsStream(stream)->LengthMs() : 0;
    });
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) {
    return WithEngine(0, [&](Engine& e) {
        return e.IsStream(AsStream(stream)) ? AsStream(stream)->TimeMs() : 0;
    });
}

int FSOUND_IsPlaying(int channel) {
    return WithEngine(
        0, [&](Engine& e) { return e.IsChannel(channel) && e.IsPlaying(channel) ? 1 : 0; });
}

int FSOUND_SetVolume(int channel, int volume) {
    return WithEngine(0, [&](Engine& e) {
        if (!e.IsChannel(channel)) {
            return 0;
        }
        e.SetVolume(channel, volume);
        return 1;
    });
}

int FSOUND_GetVolume(int channel) {
    return WithEngine(0, [&](Engine& e) { return e.IsChannel(channel) ? e.Volume(channel) : 0; });
}

int FSOUND_SetPan(int channel, int pan) {
    return WithEngine(0, [&](Engine& e) {
        if (!e.IsChannel(channel)) {
            return 0;
        }
        e.SetPan(channel, pan);
        return 1;
    });
}

FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit(void) {
    return WithEngine<FSOUND_DSPUNIT*>(
        nullptr, [](Engine& e) { return reinterpret_cast<FSOUND_DSPUNIT*>(e.SpectrumUnit()); });
}

int FSOUND_DSP_GetActive(FSOUND_DSPUNIT* unit) {
    return WithEngine(0, [&](Engine& e) {
        return e.Chain().Owns(AsUnit(unit)) && AsUnit(unit)->active.load() ? 1 : 0;
    });
}

void FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, int active) {
    WithEngineDo([&](Engine& e) {
        if (e.Chain().Owns(AsUnit(unit))) {
            AsUnit(unit)->active.store(active != 0);
        }
    });
}

FSOUND_DSPUNIT* FSOUND_DSP_Create(FSOUND_DSPCALLBACK callback, int priority, void* user) {
    return WithEngine<FSOUND_DSPUNIT*>(nullptr, [&](Engine& e) {
        return reinterpret_cast<FSOUND_DSPUNIT*>(e.Chain().Create(callback, priority, user));
    });
}

void FSOUND_DSP_Free(FSOUND_DSPUNIT* unit) {
    WithEngineDo([&](Engine& e) { e.FreeUnit(AsUnit(unit)); });
}

float* FSOUND_DSP_GetSpectrum(void) {
    // Each thread reads into its own copy, which stays put until its next
    // call; zeros whenever there is nothing to show, even before Init.
    thread_local std::array<float, fsound::Spectrum::kBins> bins{};
    bins.fill(0.0f);
    WithEngineDo([](Engine& e) { e.ReadSpectrum(bins.data()); });
    return bins.data();
}

void FSOUND_GetStats(FSOUND_STATS* stats) {
    if (stats == nullptr) {
        return;
    }
    *stats = FSOUND_STATS{};
    WithEngineDo([&](Engine& e) { e.ReadStats(*stats); });
}

void FSOUND_ResetStats(void) {
    WithEngineDo([](Engine& e) { e.ResetStats(); });
}

} // extern "C"
