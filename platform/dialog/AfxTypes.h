#pragma once

// The Windows-shaped scalar types, identifiers and small geometry values that the dialog
// layer speaks in, so that code written against the MFC interface reads the same here.

#include <cstdint>

using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = INT_PTR;
using LRESULT = INT_PTR;

// 0x00bbggrr, as GDI keeps it.
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xff) | ((g & 0xff) << 8) | ((b & 0xff) << 16));
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 0xff);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8) & 0xff);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16) & 0xff);
}

constexpr WORD LOWORD(UINT_PTR v) {
    return static_cast<WORD>(v & 0xffff);
}
constexpr WORD HIWORD(UINT_PTR v) {
    return static_cast<WORD>((v >> 16) & 0xffff);
}
constexpr WPARAM MAKEWPARAM(UINT low, UINT high) {
    return static_cast<WPARAM>((low & 0xffff) | ((high & 0xffff) << 16));
}

// An icon of the program's resources; the dialog layer owns it for the whole run.
struct IconResource;
using HICON = const IconResource*;
using HCURSOR = HICON;

// Dialog results and standard command identifiers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

// Message box button and icons.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xf0;

// Window messages routed through the command map.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_PAINT = 0x000f;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_ICONERASEBKGND = 0x0027;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_NOTIFY = 0x004e;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;

// System commands; the low four bits are the platform's own.
inline constexpr UINT SC_MINIMIZE = 0xf020;
inline constexpr UINT SC_CLOSE = 0xf060;
inline constexpr UINT SC_RESTORE = 0xf120;

// Control notifications.
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT LBN_DBLCLK = 2;
inline constexpr UINT EN_KILLFOCUS = 0x0200;
inline constexpr UINT NM_RELEASEDCAPTURE = static_cast<UINT>(-16);

struct NMHDR {
    void* hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

// ShowWindow commands.
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

// Check states.
inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;

inline constexpr int LB_ERR = -1;

// Menu item flags.
inline constexpr UINT MF_STRING = 0x0;
inline constexpr UINT MF_BYCOMMAND = 0x0;
inline constexpr UINT MF_SEPARATOR = 0x800;

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5;

// System metrics and colours.
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
inline constexpr int SM_CXSMICON = 49;
inline constexpr int SM_CYSMICON = 50;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;

struct CPoint {
    int x = 0;
    int y = 0;
    constexpr CPoint() = default;
    constexpr CPoint(int px, int py) : x(px), y(py) {}
    friend constexpr bool operator==(const CPoint&, const CPoint&) = default;
};

// Right and bottom are exclusive, as in GDI.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    constexpr CRect() = default;
    constexpr CRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr BOOL IsRectEmpty() const { return right <= left || bottom <= top; }
    friend constexpr bool operator==(const CRect&, const CRect&) = default;
};

// Marks message handlers in class declarations; it has no effect.
#define afx_msg
