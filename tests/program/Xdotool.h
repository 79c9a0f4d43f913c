// Mouse and keyboard input on an X display as a user gives it, and the questions about its
// windows that a user answers by looking, through the xdotool program. The input goes
// through the XTEST extension, so the program sees ordinary events, not sent ones.
#pragma once

#include "DialogTemplate.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace corvaline::testsupport {

class Xdotool {
  public:
    explicit Xdotool(const std::string& display);

    // Identifiers of the mapped windows whose title matches a regular expression, or that
    // a process owns.
    std::vector<std::string> WindowsNamed(const std::string& pattern) const;
    std::vector<std::string> WindowsOf(pid_t pid) const;
    struct Size {
        int width = 0;
        int height = 0;
    };
    std::optional<Size> SizeOf(const std::string& window) const;
    // The window that has the keyboard focus, empty when none has.
    std::string FocusedWindow() const;

    // A left click at a point of a window, in its pixels from its top left corner.
    bool Click(const std::string& window, int x, int y) const;
    // A left click at the centre of a control of a window of size `size` made from `dialog`:
    // its rectangle in the template, scaled by the window's size to the template's, finds
    // it by identifier whichever controls are enabled or focused. False for no such control.
    bool ClickControl(const std::string& window, Size size, const DialogTemplate& dialog,
                      int id) const;
    // Keys by their X names, e.g. "ctrl+a" or "Return".
    bool Key(const std::string& keys) const;
    bool Type(const std::string& text) const;

  private:
    std::optional<std::string> Run(const std::vector<std::string>& args) const;
    std::vector<std::string> Windows(const std::vector<std::string>& search) const;

    std::vector<std::string> m_environment;
};

} // namespace corvaline::testsupport
