// The started library: channels, streams, units and the output they play on.
//
// Thread contract: every member function runs on the program's threads, one
// at a time (FSOUND_... hold the library's lock around each call); the mixing
// thread works on the Mixer, the DspChain and the Spectrum, and the feeder
// thread on the Feeder (which looks at the Mixer's slots), never on Engine.
#pragma once

#include "DspChain.h"
#include "Feeder.h"
#include "Mixer.h"
#include "Output.h"
#include "Spectrum.h"
#include "fsound_stats.h"

#include <cstdint>
#include <string>

namespace fsound {

class Engine {
  public:
    Engine(int channels, Output::Kind output);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // False when the device did not open; the engine then mixes without sound.
    bool Start();
    int Update();

    Stream* OpenStream(const std::string& path, long long byteOffset);
    bool PlayStream(int channel, Stream* stream);
    bool StopStream(Stream* stream);
    bool CloseStream(Stream* stream);
    bool IsStream(const Stream* stream) const { return m_feeder.Contains(stream); }

    bool IsChannel(int channel) const { return channel >= 0 && channel < m_mixer.ChannelCount(); }
    bool IsPlaying(int channel);
    void SetVolume(int channel, int volume);
    int Volume(int channel);
    void SetPan(int channel, int pan);

    Unit* SpectrumUnit() const { return m_spectrumUnit; }
    DspChain& Chain() { return m_chain; }
    void FreeUnit(Unit* unit);
    void ReadSpectrum(float* bins) const;

    void ReadStats(FSOUND_STATS& stats);
    void ResetStats();

  private:
    void FadeOutOnChannels(Stream* stream);

    const Output::Kind m_requested;
    Spectrum m_spectrum;
    DspChain m_chain;
    Mixer m_mixer;
    Unit* m_spectrumUnit = nullptr;
    Feeder m_feeder;
    Output m_output;
    std::int16_t m_manualBlock[kBlockFrames * 2];
};

} // namespace fsound
