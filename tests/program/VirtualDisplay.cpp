#include "VirtualDisplay.h"

#include <fcntl.h>
#include <unistd.h>

namespace corvaline::testsupport {

VirtualDisplay::VirtualDisplay(const std::string& logFile, std::chrono::milliseconds bound) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    // The server writes the display number to this descriptor once it takes connections.
    m_server = ChildProcess({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                             "1280x1024x24", "-nolisten", "tcp"},
                            {{}, logFile, -1, pipeFds[1], {}});
    close(pipeFds[1]);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::string number;
    if (m_server.Started()) {
        ReadPipe(pipeFds[0], deadline, number,
                 [](const std::string& text) { return text.find('\n') != std::string::npos; });
    }
    close(pipeFds[0]);
    if (number.find('\n') != std::string::npos) {
        m_name = ":" + number.substr(0, number.find('\n'));
    } else {
        m_server.Kill();
    }
}

VirtualDisplay::~VirtualDisplay() {
    m_server.Terminate(std::chrono::seconds(10));
}

} // namespace corvaline::testsupport
