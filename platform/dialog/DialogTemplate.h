#pragma once

// A dialog template: the caption, size and font of a dialog and the table of its controls,
// with positions and sizes in dialog units. The table order is the creation order and so
// the keyboard (tab) order.

#include "AfxTypes.h"

#include <span>

enum class ControlKind {
    PushButton,
    DefPushButton, // the dialog's default push button (Enter outside another button)
    Edit,
    Static,   // a label
    GroupBox, // a titled or untitled frame, only drawn
    CheckBox, // toggles itself when clicked
    ListBox,
    Slider,
    Progress,
    Icon, // shows the icon resource named by DialogControl::icon
};

// Style flags of a control. A control is visible, enabled and horizontal unless a flag
// says otherwise; edits and list boxes have a border unless NoBorder is given.
enum class CtlStyle : unsigned {
    None = 0,
    TabStop = 1u << 0,
    Hidden = 1u << 2,
    Disabled = 1u << 3,
    ReadOnly = 1u << 4,
    Number = 1u << 5,     // an edit that takes only digits from the keyboard
    Right = 1u << 7,      // text alignment; left without it
    LeftText = 1u << 8,   // check box text to the left of its box
    StaticEdge = 1u << 9, // thin sunken edge
    NoBorder = 1u << 10,  // edit or list box without its border
    Smooth = 1u << 11,    // continuous progress bar
    Vertical = 1u << 12,  // vertical slider
    NoTicks = 1u << 13,   // slider without tick marks
    Notify = 1u << 15,    // list box that reports double-clicks
};

constexpr CtlStyle operator|(CtlStyle a, CtlStyle b) {
    return static_cast<CtlStyle>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool HasStyle(CtlStyle set, CtlStyle flag) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(flag)) != 0;
}

struct DialogControl {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    const char* text = "";
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    CtlStyle style = CtlStyle::None;
    UINT icon = 0; // icon resource of an Icon control
    // What screen readers call the control; null for its text. Controls whose text is not
    // a name (edits, whose text is their value, and controls without text) need one.
    const char* accessibleName = nullptr;
};

// A template row with the name that screen readers give it.
constexpr DialogControl Named(DialogControl control, const char* accessibleName) {
    control.accessibleName = accessibleName;
    return control;
}

enum class DlgStyle : unsigned {
    None = 0,
    SystemMenu = 1u << 0,
    MinimizeBox = 1u << 1,
    AppWindow = 1u << 2, // a button of its own in the task bar
};

constexpr DlgStyle operator|(DlgStyle a, DlgStyle b) {
    return static_cast<DlgStyle>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool HasStyle(DlgStyle set, DlgStyle flag) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(flag)) != 0;
}

struct DialogTemplate {
    const char* caption = "";
    int cx = 0; // dialog units
    int cy = 0;
    const char* fontName = "MS Sans Serif";
    int fontPoints = 8;
    DlgStyle style = DlgStyle::SystemMenu;
    std::span<const DialogControl> controls;
};

// Fixed base units of 6 x 13 pixels, rounded to the nearest pixel as Windows' MulDiv
// rounds, so that panels placed in pixels line up with controls placed in dialog units.
constexpr int DialogUnitsToPixelsX(int du) {
    const int num = du * 6;
    return num >= 0 ? (num + 2) / 4 : -((-num + 2) / 4);
}
constexpr int DialogUnitsToPixelsY(int du) {
    const int num = du * 13;
    return num >= 0 ? (num + 4) / 8 : -((-num + 4) / 8);
}
