// What waking costs the machine before any work is done: a window of the player's size
// with a 25 ms timer that does nothing, and an SDL stream of the player's format whose
// callback writes silence. The CPU benchmark measures it beside the player, so that the
// player's figures can be read against what its two periodic threads cost on that machine.

#include "MixFormat.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <SDL.h>

#include <cstdio>
#include <cstring>

namespace {

void Silence(void*, Uint8* stream, int length) {
    std::memset(stream, 0, static_cast<std::size_t>(length));
}

} // namespace

int main(int argc, char** argv) {
    // The player's window sends its pixels over the X connection too.
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("wake floor"));
    window.resize(806, 531);
    window.show();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [] {});
    tick.start(25);

    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "wake_floor: %s\n", SDL_GetError());
        return 1;
    }
    SDL_AudioSpec want{};
    want.freq = fsound::kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = fsound::kOutputChannels;
    want.samples = static_cast<Uint16>(fsound::kBlockFrames);
    want.callback = &Silence;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device == 0) {
        std::fprintf(stderr, "wake_floor: %s\n", SDL_GetError());
        return 1;
    }
    SDL_PauseAudioDevice(device, 0);
    const int result = QApplication::exec();
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return result;
}
