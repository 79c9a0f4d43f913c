// Mixes the playing channels into one block of 16-bit stereo and runs the
// processing chain over it.
//
// Thread contract: MixBlock runs on the mixing thread only (the output's
// thread, or the caller of FSOUND_Update); it never allocates, locks or waits.
// Channel slots and targets are written by the program's threads under the
// library's lock and read here; everything else in a Channel is the mixer's.
// The feeder thread reads the slots and may clear those of a stream already
// closed (TakeOut), which no program thread can name any more.
#pragma once

#include "DspChain.h"
#include "MixFormat.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace fsound {

class Stream;

// How a channel's stream reaches the two outputs: out = m * (left, right).
struct GainMatrix {
    float leftToLeft = 0, rightToLeft = 0, leftToRight = 0, rightToRight = 0;
    bool operator==(const GainMatrix&) const = default;
};
GainMatrix MatrixFor(int volume, int pan);

struct Channel {
    std::atomic<Stream*> stream{nullptr}; // what plays (or has just ended) here
    std::atomic<Stream*> fading{nullptr}; // a stopped stream still to be faded out
    std::atomic<int> volume{255};
    std::atomic<int> pan{-1};
    GainMatrix gains; // mixer's: what the last mixed frame was multiplied by
};

struct MixerStats {
    std::atomic<std::uint64_t> blocksMixed{0};
    std::atomic<std::uint64_t> underruns{0};
    std::atomic<std::int64_t> worstBlockNs{0};
};

class Mixer {
  public:
    Mixer(int channels, DspChain& chain);

    void MixBlock(std::int16_t* out);

    int ChannelCount() const { return m_channelCount; }
    Channel& At(int channel) { return m_channels[channel]; }

    // Whether a channel plays the stream or is still to fade it out.
    bool Holds(const Stream* stream) const;
    // Empties the slots that hold the stream.
    void TakeOut(Stream* stream);

    // Returns once no block that began before the call is still being mixed,
    // so that whatever the caller has just taken out of the slots is no
    // longer touched by the mixer.
    void WaitForBlockBoundary() const;
    // The same without waiting: a mark taken now, and whether every block
    // that was being mixed at that mark has been mixed since.
    std::uint64_t BoundaryMark() const { return m_blockPhase.load(); }
    bool PassedBoundary(std::uint64_t mark) const;
    static bool OnMixingThread();

    MixerStats stats;

  private:
    void MixStream(Channel& channel, Stream& stream);
    void MixFadeOut(Channel& channel, Stream& stream);
    void Accumulate(std::size_t frames, const GainMatrix& from, const GainMatrix& to,
                    std::size_t rampFrames);
    void Saturate(std::int16_t* out) const;

    int m_channelCount;
    std::unique_ptr<Channel[]> m_channels;
    DspChain& m_chain;
    // Odd while a block is being mixed.
    std::atomic<std::uint64_t> m_blockPhase{0};
    alignas(64) float m_mix[kBlockFrames * 2];
    float m_source[kBlockFrames * 2];
    std::int16_t m_spare[kBlockFrames * 2];
};

} // namespace fsound
