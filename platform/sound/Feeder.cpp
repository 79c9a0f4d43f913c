#include "Feeder.h"

#include <algorithm>
#include <chrono>

namespace fsound {

namespace {
// A fill round starts once an open stream's ring is down to half (about a second), and
// tops up every stream that wants data, so the thread decodes about once a second rather
// than for every chunk the mixer takes.
constexpr std::size_t kLowWaterFrames = kRingFrames / 2;
// Between rounds the thread sleeps until a ring drained at the mix rate could reach the
// low water, but never longer than this, for a mixer faster than real time: one twice as
// fast still finds half a second in the ring when the thread next looks, however full the
// ring was when it went to sleep (one three times as fast, only just).
constexpr auto kLongestNap = std::chrono::milliseconds(500);
// Nor shorter than this: a ring a few frames above the low water is left to the next look,
// this much later at most, when it still holds about a second.
constexpr auto kShortestNap = std::chrono::milliseconds(40);
// How often a retired stream is looked at: its fade-out is mixed within the
// next block (23 ms), and it is released soon after.
constexpr auto kRetiredPoll = std::chrono::milliseconds(5);
// How long a retired stream's fade-out may wait to be mixed before it is
// simply cut (a stalled device must not keep closed files open).
constexpr auto kFadeOutPatience = std::chrono::milliseconds(250);

auto Is(const Stream* stream) {
    return [stream](const std::unique_ptr<Stream>& s) { return s.get() == stream; };
}
} // namespace

Feeder::Feeder(bool ownThread, Mixer& mixer) : m_mixer(mixer) {
    if (ownThread) {
        m_thread = std::thread([this] { Run(); });
    }
}

Feeder::~Feeder() {
    {
        std::lock_guard<std::mutex> lock(m_registryLock);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

Stream* Feeder::Add(std::unique_ptr<Stream> stream) {
    Stream* handle = stream.get();
    {
        std::lock_guard<std::mutex> lock(m_registryLock);
        m_streams.push_back(std::move(stream));
    }
    Nudge();
    return handle;
}

std::unique_ptr<Stream> Feeder::Remove(Stream* stream) {
    std::unique_ptr<Stream> removed;
    {
        std::lock_guard<std::mutex> lock(m_registryLock);
        const auto it = std::find_if(m_streams.begin(), m_streams.end(), Is(stream));
        if (it == m_streams.end()) {
            return nullptr;
        }
        removed = std::move(*it);
        m_streams.erase(it);
    }
    // Waits out a chunk the feeder may be decoding for it right now.
    std::lock_guard<std::mutex> decoding(removed->decodeLock);
    return removed;
}

void Feeder::Retire(Stream* stream) {
    {
        std::lock_guard<std::mutex> lock(m_registryLock);
        const auto it = std::find_if(m_streams.begin(), m_streams.end(), Is(stream));
        if (it == m_streams.end()) {
            return;
        }
        m_retired.push_back(
            {std::move(*it), std::chrono::steady_clock::now() + kFadeOutPatience, std::nullopt});
        m_streams.erase(it);
    }
    Nudge();
}

bool Feeder::Contains(const Stream* stream) const {
    std::lock_guard<std::mutex> lock(m_registryLock);
    return stream != nullptr && std::any_of(m_streams.begin(), m_streams.end(), Is(stream));
}

void Feeder::Nudge() {
    {
        std::lock_guard<std::mutex> lock(m_registryLock);
        m_nudged = true;
    }
    m_wake.notify_all();
}

void Feeder::FillForNextBlock() {
    std::lock_guard<std::mutex> lock(m_registryLock);
    for (const auto& stream : m_streams) {
        std::lock_guard<std::mutex> decoding(stream->decodeLock);
        // Two blocks, so that the end of the file is known by the time its
        // last frame is mixed.
        stream->FillTo(2 * kBlockFrames);
    }
}

Stream* Feeder::PickAndLock(std::size_t& cursor) {
    std::lock_guard<std::mutex> lock(m_registryLock);
    for (; cursor < m_streams.size(); ++cursor) {
        Stream* stream = m_streams[cursor].get();
        if (stream->NeedsData()) {
            stream->decodeLock.lock();
            ++cursor;
            return stream;
        }
    }
    return nullptr;
}

bool Feeder::MixerLetGo(Retired& retired) {
    if (!retired.unheldAt) {
        if (m_mixer.Holds(retired.stream.get())) {
            if (std::chrono::steady_clock::now() < retired.cutAt) {
                return false;
            }
            m_mixer.TakeOut(retired.stream.get());
        }
        // A block under way may have picked it up before it left the slots.
        retired.unheldAt = m_mixer.BoundaryMark();
    }
    return m_mixer.PassedBoundary(*retired.unheldAt);
}

void Feeder::ReleaseRetired() {
    for (;;) {
        std::unique_ptr<Stream> released;
        {
            std::lock_guard<std::mutex> lock(m_registryLock);
            auto it = m_retired.begin();
            while (it != m_retired.end() && !MixerLetGo(*it)) {
                ++it;
            }
            if (it == m_retired.end()) {
                return;
            }
            released = std::move(it->stream);
            m_retired.erase(it);
        }
        // Released here, outside the registry lock: closing its file must not
        // hold up the program's calls.
    }
}

bool Feeder::FillPass() {
    bool decoded = false;
    std::size_t cursor = 0;
    while (Stream* stream = PickAndLock(cursor)) {
        stream->FillTo(stream->ring.Available() + kDecodeChunkFrames);
        stream->decodeLock.unlock();
        decoded = true;
    }
    return decoded;
}

bool Feeder::SomeRingLow() const {
    return std::any_of(m_streams.begin(), m_streams.end(), [](const std::unique_ptr<Stream>& s) {
        return !s->endOfData.load(std::memory_order_relaxed) &&
               s->ring.Available() <= kLowWaterFrames;
    });
}

std::optional<std::chrono::microseconds> Feeder::NapLength() const {
    // The mixer lets go of a retired stream without a word, so it is looked for.
    if (!m_retired.empty()) {
        return kRetiredPoll;
    }
    std::optional<std::size_t> headroom; // frames the first stream to get low has to go
    for (const auto& stream : m_streams) {
        if (!stream->endOfData.load(std::memory_order_relaxed)) {
            const std::size_t available = stream->ring.Available();
            const std::size_t above = available > kLowWaterFrames ? available - kLowWaterFrames : 0;
            headroom = std::min(headroom.value_or(above), above);
        }
    }
    if (!headroom) {
        // Nothing open still to decode: nothing can get low until a stream is added or rewound.
        return std::nullopt;
    }
    const std::chrono::microseconds untilLow(*headroom * 1'000'000 / kMixRate);
    return std::clamp<std::chrono::microseconds>(untilLow, kShortestNap, kLongestNap);
}

void Feeder::Run() {
    bool filling = true;
    for (;;) {
        // A round is passes of one chunk per stream in turn, so a stream just opened cannot
        // starve one that is playing; it ends when no stream wants more.
        if (filling) {
            filling = FillPass();
        }
        ReleaseRetired();
        std::unique_lock<std::mutex> lock(m_registryLock);
        if (m_quit) {
            return;
        }
        if (filling) {
            continue;
        }
        // The mixer drains the rings without a word (it may not signal), so the thread
        // wakes by the clock to look at them.
        const auto woken = [this] { return m_nudged || m_quit; };
        if (const auto nap = NapLength()) {
            m_wake.wait_for(lock, *nap, woken);
        } else {
            m_wake.wait(lock, woken);
        }
        filling = m_nudged || SomeRingLow();
        m_nudged = false;
    }
}

} // namespace fsound
