#include "DspChain.h"

#include <algorithm>
#include <cstring>

namespace fsound {

DspChain::DspChain(std::function<void()> waitForMixer) : m_waitForMixer(std::move(waitForMixer)) {}

Unit* DspChain::Create(FSOUND_DSPCALLBACK callback, int priority, void* user) {
    if (callback == nullptr || m_units.size() >= kMaxUnits) {
        return nullptr;
    }
    auto unit = std::make_unique<Unit>();
    unit->callback = callback;
    unit->user = user;
    unit->priority = priority;
    Unit* handle = unit.get();
    // After any equal priority, so that those run in creation order.
    const auto place =
        std::upper_bound(m_units.begin(), m_units.end(), priority,
                         [](int p, const std::unique_ptr<Unit>& u) { return p < u->priority; });
    m_units.insert(place, std::move(unit));
    Publish();
    return handle;
}

void DspChain::Free(Unit* unit) {
    const auto it =
        std::find_if(m_units.begin(), m_units.end(),
                     [unit](const std::unique_ptr<Unit>& u) { return u.get() == unit; });
    if (it == m_units.end()) {
        return;
    }
    std::unique_ptr<Unit> doomed = std::move(*it);
    m_units.erase(it);
    Publish();
    m_waitForMixer();
}

bool DspChain::Owns(const Unit* unit) const {
    return unit != nullptr &&
           std::any_of(m_units.begin(), m_units.end(),
                       [unit](const std::unique_ptr<Unit>& u) { return u.get() == unit; });
}

void DspChain::Publish() {
    // The snapshot about to be rewritten may still be in the hands of a block
    // that started before the last switch.
    m_waitForMixer();
    const int next = 1 - m_live.load();
    Snapshot& snapshot = m_snapshots[next];
    snapshot.count = m_units.size();
    for (std::size_t i = 0; i < m_units.size(); ++i) {
        snapshot.units[i] = m_units[i].get();
    }
    m_live.store(next);
}

std::int16_t* DspChain::Run(std::int16_t* block, std::int16_t* spare, int frames) {
    const Snapshot& snapshot = m_snapshots[m_live.load()];
    for (std::size_t i = 0; i < snapshot.count; ++i) {
        Unit* unit = snapshot.units[i];
        if (!unit->active.load(std::memory_order_relaxed)) {
            continue;
        }
        void* result = unit->callback(block, spare, frames, unit->user);
        if (result == spare) {
            std::swap(block, spare);
        } else if (result != nullptr && result != block) {
            // A unit may hand back a buffer of its own; keep the chain in ours.
            std::memcpy(spare, result, static_cast<std::size_t>(frames) * 2 * sizeof(std::int16_t));
            std::swap(block, spare);
        }
    }
    return block;
}

} // namespace fsound
