// The processing units that every mixed block passes through, in ascending
// priority (equal priorities in creation order).
//
// Thread contract: Create, Free, SetActive and Publish run on the program's
// threads under the library's lock; Run runs on the mixing thread and sees the
// chain through one of two snapshots, switched atomically, so it never locks.
#pragma once

#include "fsound.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace fsound {

struct Unit {
    FSOUND_DSPCALLBACK callback;
    void* user;
    int priority;
    std::atomic<bool> active{false};
};

class DspChain {
  public:
    static constexpr std::size_t kMaxUnits = 64;

    // `waitForMixer` returns once no block that began before the call is
    // still running.
    explicit DspChain(std::function<void()> waitForMixer);

    Unit* Create(FSOUND_DSPCALLBACK callback, int priority, void* user);
    // Returns only when the unit's callback can no longer run.
    void Free(Unit* unit);
    bool Owns(const Unit* unit) const;
    std::size_t Size() const { return m_units.size(); }

    // Mixing thread: runs the active units over `block`; returns the block
    // that came out of the last one (either `block` or `spare`).
    std::int16_t* Run(std::int16_t* block, std::int16_t* spare, int frames);

  private:
    struct Snapshot {
        std::array<Unit*, kMaxUnits> units{};
        std::size_t count = 0;
    };
    void Publish();

    std::function<void()> m_waitForMixer;
    std::vector<std::unique_ptr<Unit>> m_units; // sorted as they run
    Snapshot m_snapshots[2];
    std::atomic<int> m_live{0};
};

} // namespace fsound
