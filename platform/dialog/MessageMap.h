#pragma once

// The command map: a static table per dialog class whose rows route a message, or one
// event of one control, to a member function. A class declares its table with
// DECLARE_MESSAGE_MAP() and defines it between BEGIN_MESSAGE_MAP and END_MESSAGE_MAP;
// rows not found in the class's table are looked for in its base class's table, and what
// no table names gets the dialog's default handling.

#include "AfxTypes.h"
#include "DropFiles.h"

class CDialog;

struct AfxMessageMapEntry {
    UINT nMessage;
    UINT nCode; // notification code for WM_COMMAND and WM_NOTIFY, else 0
    UINT nID;   // control identifier for WM_COMMAND and WM_NOTIFY, else 0
    LRESULT (*pfn)(CDialog* target, WPARAM wParam, LPARAM lParam);
};

struct AfxMessageMap {
    const AfxMessageMap* (*pfnGetBaseMap)();
    const AfxMessageMapEntry* lpEntries; // ends with a row whose pfn is null
};

namespace afx_detail {

template <class T> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> {
    using type = C;
};
template <auto Fn> using ClassOf = typename MemberOf<decltype(Fn)>::type;

template <auto Fn> LRESULT Call(CDialog* target, WPARAM, LPARAM) {
    (static_cast<ClassOf<Fn>*>(target)->*Fn)();
    return 0;
}

template <auto Fn> LRESULT CallSysCommand(CDialog* target, WPARAM wParam, LPARAM lParam) {
    (static_cast<ClassOf<Fn>*>(target)->*Fn)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <auto Fn> LRESULT CallTimer(CDialog* target, WPARAM wParam, LPARAM) {
    (static_cast<ClassOf<Fn>*>(target)->*Fn)(wParam);
    return 0;
}

template <auto Fn> LRESULT CallQueryDragIcon(CDialog* target, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((static_cast<ClassOf<Fn>*>(target)->*Fn)());
}

template <auto Fn> LRESULT CallNotify(CDialog* target, WPARAM, LPARAM lParam) {
    LRESULT result = 0;
    (static_cast<ClassOf<Fn>*>(target)->*Fn)(reinterpret_cast<NMHDR*>(lParam), &result);
    return result;
}

template <auto Fn> LRESULT CallDropFiles(CDialog* target, WPARAM wParam, LPARAM) {
    (static_cast<ClassOf<Fn>*>(target)->*Fn)(reinterpret_cast<const DroppedFiles*>(wParam));
    return 0;
}

} // namespace afx_detail

// clang-format off
#define DECLARE_MESSAGE_MAP()                                                                     \
protected:                                                                                        \
    static const AfxMessageMap* GetThisMessageMap();                                              \
    const AfxMessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                    \
    const AfxMessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }          \
    const AfxMessageMap* theClass::GetThisMessageMap() {                                          \
        using ThisClass = theClass;                                                               \
        using TheBaseClass = baseClass;                                                           \
        static_assert(sizeof(ThisClass) > 0);                                                     \
        static const AfxMessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                                         \
            {0, 0, 0, nullptr}};                                                                  \
        static const AfxMessageMap messageMap = {&TheBaseClass::GetThisMessageMap, &entries[0]}; \
        return &messageMap;                                                                       \
    }
// clang-format on

// Handlers: void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                                         \
    {WM_SYSCOMMAND, 0, 0, &::afx_detail::CallSysCommand<&ThisClass::OnSysCommand>},
// void OnPaint()
#define ON_WM_PAINT() {WM_PAINT, 0, 0, &::afx_detail::Call<&ThisClass::OnPaint>},
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                                      \
    {WM_QUERYDRAGICON, 0, 0, &::afx_detail::CallQueryDragIcon<&ThisClass::OnQueryDragIcon>},
// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER() {WM_TIMER, 0, 0, &::afx_detail::CallTimer<&ThisClass::OnTimer>},
// void OnDestroy()
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, &::afx_detail::Call<&ThisClass::OnDestroy>},
// void OnDropFiles(HDROP hDropInfo)
#define ON_WM_DROPFILES()                                                                          \
    {WM_DROPFILES, 0, 0, &::afx_detail::CallDropFiles<&ThisClass::OnDropFiles>},
// void memberFxn(): a button's or check box's click
#define ON_BN_CLICKED(id, memberFxn)                                                               \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), &::afx_detail::Call<&ThisClass::memberFxn>},
// void memberFxn(): a list box's double-click
#define ON_LBN_DBLCLK(id, memberFxn)                                                               \
    {WM_COMMAND, LBN_DBLCLK, static_cast<UINT>(id), &::afx_detail::Call<&ThisClass::memberFxn>},
// void memberFxn(): an edit has lost the keyboard focus to another control of its window
#define ON_EN_KILLFOCUS(id, memberFxn)                                                             \
    {WM_COMMAND, EN_KILLFOCUS, static_cast<UINT>(id), &::afx_detail::Call<&ThisClass::memberFxn>},
// void memberFxn(NMHDR* pNMHDR, LRESULT* pResult): e.g. NM_RELEASEDCAPTURE of a slider
#define ON_NOTIFY(code, id, memberFxn)                                                             \
    {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id),                                    \
     &::afx_detail::CallNotify<&ThisClass::memberFxn>},
