// Where mixed blocks go: the system's audio through SDL, a thread of our own
// that mixes in real time and discards (no sound device), or nowhere until
// the caller asks (MANUAL, for tests and benchmarks).
//
// Thread contract: Start and the destructor run on the program's thread; the
// device callback and the no-sound thread are the mixing thread.
#pragma once

#include "MixFormat.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace fsound {

class Mixer;

class Output {
  public:
    enum class Kind { Device, NoSound, Manual };

    explicit Output(Mixer& mixer);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // False when a device was asked for and none opened: then it mixes
    // without sound, in real time, all the same.
    bool Start(Kind kind);
    Kind Running() const { return m_kind; }

  private:
    bool OpenDevice();
    void StartNoSound();
    static void DeviceCallback(void* self, Uint8* stream, int length);
    void Fill(std::int16_t* out, std::size_t frames);
    void NoSoundLoop();

    Mixer& m_mixer;
    Kind m_kind = Kind::Manual;
    SDL_AudioDeviceID m_device = 0;
    std::thread m_noSoundThread;
    std::atomic<bool> m_quit{false};
    // What is left of the last block when the device asks for less than one.
    std::int16_t m_carry[kBlockFrames * 2];
    std::size_t m_carryFrames = 0;
};

} // namespace fsound
