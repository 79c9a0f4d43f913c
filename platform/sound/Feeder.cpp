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

Feeder::Feeder(bool ownThread, Mixer& mixer) : mixer_(mixer) {
    if (ownThread) {
        thread_ = std::thread([this] { Run(); });
    }
}

Feeder::~Feeder() {
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

Stream* Feeder::Add(std::unique_ptr<Stream> stream) {
    Stream* handle = stream.get();
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        streams_.push_back(std::move(stream));
    }
    Nudge();
    return handle;
}

std::unique_ptr<Stream> Feeder::Remove(Stream* stream) {
    std::unique_ptr<Stream> removed;
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        const auto it = std::find_if(streams_.begin(), streams_.end(), Is(stream));
        if (it == streams_.end()) {
            return nullptr;
        }
        removed = std::move(*it);
        streams_.erase(it);
    }
    // Waits out a chunk the feeder may be decoding for it right now.
    std::lock_guard<std::mutex> decoding(removed->decodeLock);
    return removed;
}

void Feeder::Retire(Stream* stream) {
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        const auto it = std::find_if(streams_.begin(), streams_.end(), Is(stream));
        if (it == streams_.end()) {
            return;
        }
        retired_.push_back(
            {std::move(*it), std::chrono::steady_clock::now() + kFadeOutPatience, std::nullopt});
        streams_.erase(it);
    }
    Nudge();
}

bool Feeder::Contains(const Stream* stream) const {
    std::lock_guard<std::mutex> lock(registryLock_);
    return stream != nullptr && std::any_of(streams_.begin(), streams_.end(), Is(stream));
}

void Feeder::Nudge() {
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        nudged_ = true;
    }
    wake_.notify_all();
}

void Feeder::FillForNextBlock() {
    std::lock_guard<std::mutex> lock(registryLock_);
    for (const auto& stream : streams_) {
        std::lock_guard<std::mutex> decoding(stream->decodeLock);
        // Two blocks, so that the end of the file is known by the time its
        // last frame is mixed.
        stream->FillTo(2 * kBlockFrames);
    }
}

Stream* Feeder::PickAndLock(std::size_t& cursor) {
    std::lock_guard<std::mutex> lock(registryLock_);
    for (; cursor < streams_.size(); ++cursor) {
        Stream* stream = streams_[cursor].get();
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
        if (mixer_.Holds(retired.stream.get())) {
            if (std::chrono::steady_clock::now() < retired.cutAt) {
                return false;
            }
            mixer_.TakeOut(retired.stream.get());
        }
        // A block under way may have picked it up before it left the slots.
        retired.unheldAt = mixer_.BoundaryMark();
    }
    return mixer_.PassedBoundary(*retired.unheldAt);
}

void Feeder::ReleaseRetired() {
    for (;;) {
        std::unique_ptr<Stream> released;
        {
            std::lock_guard<std::mutex> lock(registryLock_);
            auto it = retired_.begin();
            while (it != retired_.end() && !MixerLetGo(*it)) {
                ++it;
            }
            if (it == retired_.end()) {
                return;
            }
            released = std::move(it->stream);
            retired_.erase(it);
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
    return std::any_of(streams_.begin(), streams_.end(), [](const std::unique_ptr<Stream>& s) {
        return !s->endOfData.load(std::memory_order_relaxed) &&
               s->ring.Available() <= kLowWaterFrames;
    });
}

std::optional<std::chrono::microseconds> Feeder::NapLength() const {
    // The mixer lets go of a retired stream without a word, so it is looked for.
    if (!retired_.empty()) {
        return kRetiredPoll;
    }
    std::optional<std::size_t> headroom; // frames the first stream to get low has to go
    for (const auto& stream : streams_) {
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
        std::unique_lock<std::mutex> lock(registryLock_);
        if (quit_) {
            return;
        }
        if (filling) {
            continue;
        }
        // The mixer drains the rings without a word (it may not signal), so the thread
        // wakes by the clock to look at them.
        const auto woken = [this] { return nudged_ || quit_; };
        if (const auto nap = NapLength()) {
            wake_.wait_for(lock, *nap, woken);
        } else {
            wake_.wait(lock, woken);
        }
        filling = nudged_ || SomeRingLow();
        nudged_ = false;
    }
}

} // namespace fsound
