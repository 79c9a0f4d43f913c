#include "Xdotool.h"

#include "ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <sstream>

namespace corvaline::testsupport {

namespace {

// Each call is one short request; the bound only keeps a stuck server from stalling a test.
constexpr std::chrono::seconds kCallBound{30};
// Between typed keys: a loaded machine can fall behind a burst.
constexpr const char* kTypeDelayMs = "20";

} // namespace

Xdotool::Xdotool(const std::string& display)
    : m_environment(EnvironmentWith({"DISPLAY=" + display})) {}

std::optional<std::string> Xdotool::Run(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunForOutput(argv, m_environment, kCallBound);
}

std::vector<std::string> Xdotool::Windows(const std::vector<std::string>& search) const {
    std::vector<std::string> args{"search", "--onlyvisible"};
    args.insert(args.end(), search.begin(), search.end());
    // No match is a failure exit: the same as an empty list here.
    const std::optional<std::string> output = Run(args);
    std::vector<std::string> windows;
    std::istringstream lines(output.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            windows.push_back(line);
        }
    }
    return windows;
}

std::vector<std::string> Xdotool::WindowsNamed(const std::string& pattern) const {
    return Windows({"--name", pattern});
}

std::vector<std::string> Xdotool::WindowsOf(pid_t pid) const {
    return Windows({"--pid", std::to_string(pid)});
}

std::optional<Xdotool::Size> Xdotool::SizeOf(const std::string& window) const {
    const std::optional<std::string> output = Run({"getwindowgeometry", "--shell", window});
    if (!output) {
        return std::nullopt;
    }
    Size size;
    std::istringstream lines(*output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("WIDTH=", 0) == 0) {
            size.width = std::stoi(line.substr(6));
        } else if (line.rfind("HEIGHT=", 0) == 0) {
            size.height = std::stoi(line.substr(7));
        }
    }
    if (size.width <= 0 || size.height <= 0) {
        return std::nullopt;
    }
    return size;
}

std::string Xdotool::FocusedWindow() const {
    std::string window = Run({"getwindowfocus"}).value_or("");
    while (!window.empty() && window.back() == '\n') {
        window.pop_back();
    }
    return window;
}

bool Xdotool::Click(const std::string& window, int x, int y) const {
    // --sync: the button goes down only once the pointer is where it was sent.
    return Run({"mousemove", "--sync", "--window", window, std::to_string(x), std::to_string(y),
                "click", "1"})
        .has_value();
}

bool Xdotool::ClickControl(const std::string& window, Size size, const DialogTemplate& dialog,
                           int id) const {
    const auto control = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                                      [id](const DialogControl& c) { return c.id == id; });
    if (control == dialog.controls.end()) {
        return false;
    }
    const double x = (control->x + control->cx / 2.0) * size.width / dialog.cx;
    const double y = (control->y + control->cy / 2.0) * size.height / dialog.cy;
    return Click(window, static_cast<int>(x), static_cast<int>(y));
}

bool Xdotool::Key(const std::string& keys) const {
    return Run({"key", "--delay", kTypeDelayMs, keys}).has_value();
}

bool Xdotool::Type(const std::string& text) const {
    return Run({"type", "--delay", kTypeDelayMs, text}).has_value();
}

} // namespace corvaline::testsupport
