#include "Output.h"

#include "Mixer.h"

#include <alsa/asoundlib.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fsound {

namespace {

// ALSA writes its own lines to the terminal when it finds no card; what failed is the
// library's return value to us, and the program says so once itself. SDL loads the same
// libasound, so the handler set here is the one it reports through.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Without a session's runtime directory no sound server of the user's can be reached, and
// PulseAudio's client, failing to find one, leaves a directory of its own in the user's
// home. SDL is then asked to try its other drivers (the user's own choice of driver, in
// the environment, still wins over this hint).
void AvoidPulseAudioOutsideASession() {
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr || std::getenv("PULSE_SERVER") != nullptr) {
        return;
    }
    std::string drivers;
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
        const char* name = SDL_GetAudioDriver(i);
        if (std::strcmp(name, "pulseaudio") == 0) {
            continue;
        }
        if (!drivers.empty()) {
            drivers += ',';
        }
        drivers += name;
    }
    SDL_SetHint(SDL_HINT_AUDIODRIVER, drivers.c_str());
}

} // namespace

Output::Output(Mixer& mixer) : m_mixer(mixer) {}

Output::~Output() {
    if (m_device != 0) {
        SDL_CloseAudioDevice(m_device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    m_quit.store(true);
    if (m_noSoundThread.joinable()) {
        m_noSoundThread.join();
    }
}

bool Output::Start(Kind kind) {
    m_kind = kind;
    if (kind == Kind::Manual) {
        return true;
    }
    if (kind == Kind::Device && OpenDevice()) {
        return true;
    }
    m_kind = Kind::NoSound;
    StartNoSound();
    return kind == Kind::NoSound;
}

bool Output::OpenDevice() {
    // The program decides how it ends: SDL must not swallow SIGINT and SIGTERM.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    snd_lib_error_set_handler(&IgnoreAlsaError);
    AvoidPulseAudioOutsideASession();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = kOutputChannels;
    want.samples = static_cast<Uint16>(kBlockFrames);
    want.callback = &Output::DeviceCallback;
    want.userdata = this;
    // SDL converts to whatever the device really wants; we always mix 44100 stereo.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (m_device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(m_device, 0);
    return true;
}

void Output::DeviceCallback(void* self, Uint8* stream, int length) {
    static_cast<Output*>(self)->Fill(reinterpret_cast<std::int16_t*>(stream),
                                     static_cast<std::size_t>(length) / (2 * sizeof(std::int16_t)));
}

void Output::Fill(std::int16_t* out, std::size_t frames) {
    while (frames > 0) {
        if (m_carryFrames == 0 && frames >= kBlockFrames) {
            m_mixer.MixBlock(out);
            out += kBlockFrames * 2;
            frames -= kBlockFrames;
            continue;
        }
        if (m_carryFrames == 0) {
            m_mixer.MixBlock(m_carry);
            m_carryFrames = kBlockFrames;
        }
        const std::size_t n = std::min(frames, m_carryFrames);
        const std::int16_t* from = m_carry + (kBlockFrames - m_carryFrames) * 2;
        std::memcpy(out, from, n * 2 * sizeof(std::int16_t));
        out += n * 2;
        frames -= n;
        m_carryFrames -= n;
    }
}

void Output::StartNoSound() {
    m_noSoundThread = std::thread([this] { NoSoundLoop(); });
    // Real-time scheduling where the system grants it, as SDL asks for its
    // own audio thread; without it the thread still keeps time, less tightly.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    pthread_setschedparam(m_noSoundThread.native_handle(), SCHED_FIFO, &param);
}

void Output::NoSoundLoop() {
    using Clock = std::chrono::steady_clock;
    constexpr auto kBlockTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(kBlockFrames) / kMixRate));
    // After a long stall, start afresh rather than mix a burst to catch up.
    constexpr auto kGiveUpLag = std::chrono::milliseconds(250);
    std::int16_t discard[kBlockFrames * 2];
    auto due = Clock::now();
    while (!m_quit.load(std::memory_order_relaxed)) {
        m_mixer.MixBlock(discard);
        due += kBlockTime;
        const auto now = Clock::now();
        if (now - due > kGiveUpLag) {
            due = now;
        }
        std::this_thread::sleep_until(due);
    }
}

} // namespace fsound
