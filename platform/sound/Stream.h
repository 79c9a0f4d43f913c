// One open file on its way to the mixer: the decoder, the ring it fills, and
// where playback stands.
//
// Thread contract:
// - `decoder` and the producer side of `ring` belong to whoever holds
//   `decodeLock` (the feeder thread, or the caller's thread at open, rewind and
//   in the MANUAL output).
// - The consumer side of `ring`, `mixerStarted`, `framesMixed` and `finished`
//   are written by the mixing thread; the program's threads only read the
//   atomics, and reset everything in Rewind once the mixer has let go.
// - `played` belongs to the program's threads (under the library's lock).
#pragma once

#include "Decoder.h"
#include "FrameRing.h"
#include "MixFormat.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace fsound {

class Stream {
  public:
    static std::unique_ptr<Stream> Open(const std::string& path, long long byteOffset);
    ~Stream();

    // Producer side, with decodeLock held: decode until at least `frames`
    // frames wait in the ring, the ring is full, or the file has ended.
    void FillTo(std::size_t frames);
    bool NeedsData() const;
    // With the mixer and the feeder both off this stream: back to the start.
    void Rewind();

    int LengthMs() const { return m_decoder->LengthMs(); }
    int TimeMs() const;

    std::mutex decodeLock;
    FrameRing ring{kRingFrames};
    std::atomic<bool> endOfData{false}; // set after the last frame is in the ring
    std::atomic<std::uint64_t> framesMixed{0};
    std::atomic<bool> finished{false};
    bool mixerStarted = false;
    bool played = false;

    static int LiveCount();

  private:
    Stream() = default;
    void DecodeChunk();

    std::unique_ptr<Decoder> m_decoder;
    std::unique_ptr<float[]> m_chunk;
};

} // namespace fsound
