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
//
// The feeder thread decodes in rounds: when nudged, or when an open stream's
// ring is down to half (a second), it tops up every stream that wants data.
// The mixer drains the rings without signalling anything, so in between the
// thread sleeps by the clock: until a ring drained at the mix rate could reach
// the half, within 40..500 ms. A ring it finds low therefore still holds about
// a second, and no sleep is long enough for a mixer even twice as fast as real
// time to empty one. A stopped stream is topped up at its stop (a nudge), so
// it stays far from the half and costs two looks a second; streams at their
// end cost none. While a retired stream waits for the mixer to let go, the
// thread looks every 5 ms; with nothing open or retired, it waits for a nudge.
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
    // Wakes the thread early (a stream was added, rewound or stopped).
    void Nudge();

    void FillForNextBlock();

  private:
    void Run();
    // One chunk for each stream that wants data; false when none did.
    bool FillPass();
    // With the registry lock held.
    bool SomeRingLow() const;
    std::optional<std::chrono::microseconds> NapLength() const;
    // The next stream that wants data, already locked for decoding.
    Stream* PickAndLock(std::size_t& cursor);

    struct Retired {
        std::unique_ptr<Stream> stream;
        std::chrono::steady_clock::time_point cutAt; // when a fade-out not yet mixed is cut
        std::optional<std::uint64_t> unheldAt;       // mixer's mark once no slot held it
    };
    void ReleaseRetired();
    bool MixerLetGo(Retired& retired);

    Mixer& m_mixer;
    mutable std::mutex m_registryLock;
    std::vector<std::unique_ptr<Stream>> m_streams;
    std::vector<Retired> m_retired; // guarded by m_registryLock
    std::condition_variable m_wake;
    bool m_nudged = false;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace fsound
