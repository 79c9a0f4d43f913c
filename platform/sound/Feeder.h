// Owns the open streams and keeps their rings filled: on a thread of its own
// while the output runs by itself, or on the caller's thread, a block's worth
// at a time, in the MANUAL output.
//
// Thread contract: Add, Remove, Retire, Contains and FillForNextBlock are
// called by the program's threads under the library's lock. The feeder thread
// takes the registry lock only to pick a stream, then that stream's decode
// lock (hand over hand), so Remove can be sure the feeder has let go of what
// it removed. Retired streams belong to the feeder thread, which alone
// releases them (or the destructor, once that thread has ended).
#pragma once

#include "Mixer.h"
#include "Stream.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace fsound {

class Feeder {
public:
    Feeder(bool ownThread, Mixer& mixer);
    ~Feeder();
    Feeder(const Feeder&) = delete;
    Feeder& operator=(const Feeder&) = delete;

    Stream* Add(std::unique_ptr<Stream> stream);
    // Hands the stream back once the feeder thread can no longer touch it.
    std::unique_ptr<Stream> Remove(Stream* stream);
    // With a thread of its own: takes the stream out of the open ones without
    // waiting, and releases it on that thread once the mixer has let go of it.
    void Retire(Stream* stream);
    bool Contains(const Stream* stream) const;
    // Wakes the thread early (a stream was added or rewound).
    void Nudge();

    void FillForNextBlock();

private:
    void Run();
    // The next stream that wants data, already locked for decoding.
    Stream* PickAndLock(std::size_t& cursor);

    struct Retired {
        std::unique_ptr<Stream> stream;
        std::chrono::steady_clock::time_point cutAt; // when a fade-out not yet mixed is cut
        std::optional<std::uint64_t> unheldAt;       // mixer's mark once no slot held it
    };
    void ReleaseRetired();
    bool MixerLetGo(Retired& retired);

    Mixer& mixer_;
    mutable std::mutex registryLock_;
    std::vector<std::unique_ptr<Stream>> streams_;
    std::vector<Retired> retired_; // guarded by registryLock_
    std::condition_variable wake_;
    bool nudged_ = false;
    bool quit_ = false;
    std::thread thread_;
};

} // namespace fsound
