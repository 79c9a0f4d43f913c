#include "Feeder.h"

#include <algorithm>
#include <chrono>

namespace fsound {

namespace {
// A ring of two seconds loses a fiftieth of itself in this time, and a decoded chunk is
// about twice as long.
constexpr auto kIdlePoll = std::chrono::milliseconds(40);
} // namespace

Feeder::Feeder(bool ownThread) {
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
        const auto it =
            std::find_if(streams_.begin(), streams_.end(),
                         [stream](const std::unique_ptr<Stream>& s) { return s.get() == stream; });
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

bool Feeder::Contains(const Stream* stream) const {
    std::lock_guard<std::mutex> lock(registryLock_);
    return stream != nullptr &&
           std::any_of(streams_.begin(), streams_.end(),
                       [stream](const std::unique_ptr<Stream>& s) { return s.get() == stream; });
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

void Feeder::Run() {
    for (;;) {
        // One chunk per stream in turn, so a stream just opened cannot starve
        // one that is playing.
        bool decoded = false;
        std::size_t cursor = 0;
        while (Stream* stream = PickAndLock(cursor)) {
            stream->FillTo(stream->ring.Available() + kDecodeChunkFrames);
            stream->decodeLock.unlock();
            decoded = true;
        }
        std::unique_lock<std::mutex> lock(registryLock_);
        if (quit_) {
            return;
        }
        if (!decoded) {
            // With no stream open nothing can drain, so the thread sleeps until one is
            // added; an open stream's ring is drained by the mixer, which may not signal.
            if (streams_.empty()) {
                wake_.wait(lock, [this] { return nudged_ || quit_; });
            } else {
                wake_.wait_for(lock, kIdlePoll, [this] { return nudged_ || quit_; });
            }
            nudged_ = false;
        }
    }
}

} // namespace fsound
