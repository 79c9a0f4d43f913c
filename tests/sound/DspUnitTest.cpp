// The mixer's chain of processing units: activation, order, what a unit's result does,
// null handles, and freeing a unit while the library mixes on its own thread.
#include "SoundTest.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace corvaline::testsupport {
namespace {

class DspUnitTest : public SoundTest {};

struct Probe {
    int calls = 0;
    int lastFrames = 0;
    void* lastUser = nullptr;
    bool distinctBuffers = true;
    std::int16_t firstLeftSeen = 0;
};

void* Observe(void* block, void* other, int frames, void* user) {
    auto* probe = static_cast<Probe*>(user);
    ++probe->calls;
    probe->lastFrames = frames;
    probe->lastUser = user;
    probe->distinctBuffers =
        probe->distinctBuffers && block != nullptr && other != nullptr && block != other;
    probe->firstLeftSeen = block != nullptr ? static_cast<std::int16_t*>(block)[0] : 0;
    return block;
}

TEST_F(DspUnitTest, ACreatedUnitIsInactiveAndOnceActiveRunsForEveryBlock) {
    Probe probe;
    FSOUND_DSPUNIT* unit = FSOUND_DSP_Create(&Observe, 300, &probe);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(FSOUND_DSP_GetActive(unit), 0);
    Mix(2);
    EXPECT_EQ(probe.calls, 0);

    FSOUND_DSP_SetActive(unit, 1);
    EXPECT_NE(FSOUND_DSP_GetActive(unit), 0);
    Mix(3); // nothing plays: silent blocks run through the chain too
    EXPECT_EQ(probe.calls, 3);
    EXPECT_EQ(probe.lastFrames, kBlock);
    EXPECT_EQ(probe.lastUser, &probe);
    EXPECT_TRUE(probe.distinctBuffers);

    FSOUND_DSP_SetActive(unit, 0);
    EXPECT_EQ(FSOUND_DSP_GetActive(unit), 0);
    Mix(2);
    EXPECT_EQ(probe.calls, 3);

    FSOUND_DSP_SetActive(unit, 1);
    FSOUND_DSP_Free(unit);
    Mix(2);
    EXPECT_EQ(probe.calls, 3) << "a freed unit never runs again";
}

struct Order {
    int log[64] = {};
    int count = 0;
};

struct Tagged {
    Order* order;
    int tag;
};

void* Record(void*, void*, int, void* user) {
    auto* tagged = static_cast<Tagged*>(user);
    if (tagged->order->count < 64) {
        tagged->order->log[tagged->order->count++] = tagged->tag;
    }
    return nullptr;
}

TEST_F(DspUnitTest, UnitsRunInAscendingPriorityThenInCreationOrder) {
    Order order;
    // Tags name the expected place; creation order is scrambled against priority.
    const struct {
        int priority;
        int tag;
    } units[] = {{500, 5}, {100, 1}, {200, 2}, {300, 4}, {200, 3}, {1200, 6}};
    std::vector<Tagged> tags;
    tags.reserve(std::size(units));
    std::vector<FSOUND_DSPUNIT*> handles;
    for (const auto& u : units) {
        tags.push_back({&order, u.tag});
        handles.push_back(FSOUND_DSP_Create(&Record, u.priority, &tags.back()));
        ASSERT_NE(handles.back(), nullptr);
        FSOUND_DSP_SetActive(handles.back(), 1);
    }
    Mix(1);
    ASSERT_EQ(order.count, 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(order.log[i], i + 1) << "place " << i;
    }

    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    EXPECT_EQ(stats.unitsOpen, 6) << "the library's own spectrum unit is not counted";

    // Switching a unit off and on again keeps its place; a freed one leaves a gap.
    FSOUND_DSP_SetActive(handles[1], 0);
    FSOUND_DSP_SetActive(handles[1], 1);
    FSOUND_DSP_Free(handles[2]);
    FSOUND_DSP_Free(FSOUND_DSP_GetFFTUnit());
    FSOUND_GetStats(&stats);
    EXPECT_EQ(stats.unitsOpen, 5);
    order.count = 0;
    Mix(1);
    const int expected[] = {1, 3, 4, 5, 6};
    ASSERT_EQ(order.count, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(order.log[i], expected[i]) << "place " << i;
    }
}

void* WriteOther(void*, void* other, int frames, void*) {
    auto* samples = static_cast<std::int16_t*>(other);
    for (int i = 0; i < frames * 2; ++i) {
        samples[i] = 1000;
    }
    return other;
}

void* Negate(void* block, void*, int frames, void*) {
    auto* samples = static_cast<std::int16_t*>(block);
    for (int i = 0; i < frames * 2; ++i) {
        samples[i] = static_cast<std::int16_t>(-samples[i]);
    }
    return block;
}

TEST_F(DspUnitTest, WhatAUnitReturnsIsWhatTheNextOneGetsAndWhatIsHeard) {
    FSOUND_STREAM* stream = OpenWav("level.wav", 8 * kBlock, Constant(0.5f, 0.5f));
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_Play(0, stream);
    Probe afterOther, afterNull;
    Order order;
    Tagged tag{&order, 0};
    FSOUND_DSPUNIT* units[] = {
        FSOUND_DSP_Create(&WriteOther, 100, nullptr), FSOUND_DSP_Create(&Observe, 150, &afterOther),
        FSOUND_DSP_Create(&Record, 200, &tag), // returns NULL: the block goes on unchanged
        FSOUND_DSP_Create(&Observe, 250, &afterNull), FSOUND_DSP_Create(&Negate, 300, nullptr),
    };
    for (FSOUND_DSPUNIT* unit : units) {
        ASSERT_NE(unit, nullptr);
        FSOUND_DSP_SetActive(unit, 1);
    }
    OutputCapture& out = Out();
    Mix(2);
    EXPECT_EQ(afterOther.firstLeftSeen, 1000);
    EXPECT_EQ(afterNull.firstLeftSeen, 1000);
    EXPECT_TRUE(FramesAre(out, 0, 2 * kBlock, -1000, -1000, 0));

    // Without the units the stream is heard as it is.
    for (FSOUND_DSPUNIT* unit : units) {
        FSOUND_DSP_Free(unit);
    }
    const long at = out.Frames();
    Mix(1);
    EXPECT_TRUE(FramesAre(out, at, at + kBlock, Pcm(0.5), Pcm(0.5), 0));
}

TEST_F(DspUnitTest, NullHandlesAreIgnored) {
    EXPECT_EQ(FSOUND_DSP_GetActive(nullptr), 0);
    FSOUND_DSP_SetActive(nullptr, 1);
    FSOUND_DSP_SetActive(nullptr, 0);
    FSOUND_DSP_Free(nullptr);
    EXPECT_EQ(Mix(1), kBlock);
    EXPECT_EQ(FSOUND_DSP_GetActive(nullptr), 0);
}

// A unit whose callback writes into memory the test owns; the test destroys that memory as
// soon as Free returns, which is only safe if Free has waited out any block in progress.
struct FreeRecord {
    std::atomic<int> calls{0};
    std::atomic<int> callsAfterFree{0};
    std::atomic<bool> freed{false};
    std::vector<std::int16_t>* payload = nullptr;
};

void* TouchPayload(void* block, void*, int frames, void* user) {
    auto* record = static_cast<FreeRecord*>(user);
    record->calls.fetch_add(1, std::memory_order_relaxed);
    if (record->freed.load(std::memory_order_acquire)) {
        record->callsAfterFree.fetch_add(1, std::memory_order_relaxed);
    }
    // Linger, so that Free often arrives while the callback is still at work.
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    const size_t samples = std::min(record->payload->size(), static_cast<size_t>(frames) * 2);
    std::memcpy(record->payload->data(), block, samples * sizeof(std::int16_t));
    return block;
}

class DspFreeTest : public RealTimeSoundTest {};

TEST_F(DspFreeTest, FreeReturnsOnlyWhenTheCallbackCanNoLongerRun) {
    const std::string path = m_dir.File("long.wav");
    ASSERT_TRUE(WriteWav16(path, 44100, 2, 44100 * 4, Sine(330.0, 44100, 0.5)));
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_Play(0, stream);

    constexpr int kRounds = 40;
    std::vector<FreeRecord> records(kRounds);
    std::vector<int> callsWhenFreed(kRounds, 0);
    for (int round = 0; round < kRounds; ++round) {
        FreeRecord& record = records[static_cast<size_t>(round)];
        auto payload = std::make_unique<std::vector<std::int16_t>>(2 * kBlock);
        record.payload = payload.get();
        FSOUND_DSPUNIT* unit = FSOUND_DSP_Create(&TouchPayload, 400, &record);
        ASSERT_NE(unit, nullptr);
        FSOUND_DSP_SetActive(unit, 1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (record.calls.load() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GT(record.calls.load(), 0) << "the mixing thread never ran the unit";
        // Vary the moment: right as a call begins, or a little into it or after it.
        std::this_thread::sleep_for(std::chrono::microseconds(100 * (round % 5)));
        FSOUND_DSP_Free(unit);
        record.freed.store(true, std::memory_order_release);
        callsWhenFreed[static_cast<size_t>(round)] = record.calls.load();
        payload.reset();
    }
    // Several more blocks go by before the records are read.
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    for (int round = 0; round < kRounds; ++round) {
        const FreeRecord& record = records[static_cast<size_t>(round)];
        EXPECT_EQ(record.callsAfterFree.load(), 0) << "round " << round;
        EXPECT_EQ(record.calls.load(), callsWhenFreed[static_cast<size_t>(round)])
            << "round " << round;
    }
}

} // namespace
} // namespace corvaline::testsupport
