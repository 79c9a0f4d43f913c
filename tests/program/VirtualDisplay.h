// An X server of a test's own (Xvfb) on a display number that the server picks itself, so
// that tests running side by side never meet on one display.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <string>

namespace corvaline::testsupport {

class VirtualDisplay {
  public:
    // Starts the server, its output to `logFile`, and waits up to `bound` until it takes
    // connections. Name() is empty when it did not come up.
    VirtualDisplay(const std::string& logFile, std::chrono::milliseconds bound);
    // Ends the server the way that lets it remove its socket and lock file.
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", the value of DISPLAY for its clients.
    const std::string& Name() const { return m_name; }

  private:
    ChildProcess m_server;
    std::string m_name;
};

} // namespace corvaline::testsupport
