#include "CorvalineApp.h"

#include <cstdio>
#include <cstdlib>

CCorvalineApp theApp;

namespace {

// Qt would abort with a long message; say plainly what is missing instead.
bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

} // namespace

int main(int argc, char** argv) {
    if (!HasDisplay()) {
        // Named as it was started: "corvaline" when found on the PATH, its path otherwise.
        const char* self =
            argc > 0 && argv[0] != nullptr && *argv[0] != '\0' ? argv[0] : "corvaline";
        std::fprintf(stderr,
                     "corvaline: no display to open its window on (DISPLAY is not set); "
                     "run it in a desktop session, or under Xvfb: xvfb-run %s\n",
                     self);
        return 1;
    }
    return AfxWinMain(argc, argv);
}
