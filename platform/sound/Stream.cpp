#include "Stream.h"

#include "MixFormat.h"

namespace fsound {

namespace {
std::atomic<int> g_liveStreams{0};
}

std::unique_ptr<Stream> Stream::Open(const std::string& path, long long byteOffset) {
    std::unique_ptr<Decoder> decoder = Decoder::Open(path, byteOffset);
    if (!decoder) {
        return nullptr;
    }
    std::unique_ptr<Stream> stream(new Stream);
    g_liveStreams.fetch_add(1, std::memory_order_relaxed);
    stream->m_decoder = std::move(decoder);
    // libsoxr, resampling into this chunk, reads a few bytes past the end of the output it
    // is given; where the allocation ends on a page boundary that read faults. Spare
    // samples keep it inside.
    constexpr std::size_t kSpareSamples = 64;
    stream->m_chunk = std::make_unique<float[]>(kDecodeChunkFrames * 2 + kSpareSamples);
    stream->FillTo(kPrefillFrames);
    // A file that yields no sound at all is not worth a stream.
    if (stream->ring.Available() == 0) {
        return nullptr;
    }
    return stream;
}

Stream::~Stream() {
    if (m_decoder) {
        g_liveStreams.fetch_sub(1, std::memory_order_relaxed);
    }
}

int Stream::LiveCount() {
    return g_liveStreams.load(std::memory_order_relaxed);
}

bool Stream::NeedsData() const {
    return !endOfData.load(std::memory_order_relaxed) && ring.Free() >= kDecodeChunkFrames;
}

void Stream::FillTo(std::size_t frames) {
    while (!endOfData.load(std::memory_order_relaxed) && ring.Available() < frames &&
           ring.Free() > 0) {
        DecodeChunk();
    }
}

void Stream::DecodeChunk() {
    const std::size_t want = std::min(kDecodeChunkFrames, ring.Free());
    const std::size_t got = m_decoder->Read(m_chunk.get(), want);
    ring.Write(m_chunk.get(), got);
    if (got == 0) {
        endOfData.store(true, std::memory_order_release);
    }
}

void Stream::Rewind() {
    std::lock_guard<std::mutex> lock(decodeLock);
    ring.Reset();
    endOfData.store(!m_decoder->Rewind(), std::memory_order_relaxed);
    framesMixed.store(0, std::memory_order_relaxed);
    finished.store(false, std::memory_order_relaxed);
    mixerStarted = false;
    FillTo(kPrefillFrames);
}

int Stream::TimeMs() const {
    return static_cast<int>(framesMixed.load(std::memory_order_relaxed) * 1000 / kMixRate);
}

} // namespace fsound
