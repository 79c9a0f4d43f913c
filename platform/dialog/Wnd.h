#pragma once

#include "AfxTypes.h"

#include <string>

class QWidget;
class QMenu;
class CDialog;

// A window: a dialog, or one of its controls named by its identifier. A control wrapper
// looks its widget up on every call, so once the dialog's window is gone every call is a
// harmless no-op instead of a dangling access.
class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The live widget, or null when there is none (not attached, or window destroyed).
    virtual QWidget* GetSafeHwnd() const;

    // Returns whether the window was disabled before the call.
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;

    // Text is UTF-8: a button's or label's text, an edit's content, a frame's title, a
    // dialog's caption.
    void SetWindowText(const std::string& text);
    void GetWindowText(std::string& text) const;

    // Puts the window's top-level window in front of the others and gives it the input focus.
    BOOL SetForegroundWindow();

    // Files and folders dropped on the window arrive at its dialog as WM_DROPFILES.
    void DragAcceptFiles(BOOL bAccept = TRUE);

    // Binds this wrapper to control nID of a dialog (what DDX_Control does).
    void AttachToDialog(const CDialog* pDialog, int nID);

  protected:
    const CDialog* m_pDialog = nullptr;
    int m_nID = 0;
};

// The system menu, or a menu of the same kind. Entries carry command identifiers.
class CMenu {
  public:
    CMenu() = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const std::string& text = {});
    int GetMenuItemCount() const;
    // 0 for a separator, as Windows reports it.
    UINT GetMenuItemID(int nPos) const;
    // By command identifier (MF_BYCOMMAND) only.
    int GetMenuString(UINT nIDItem, std::string& text, UINT nFlags) const;

    QMenu* GetSafeHmenu() const { return m_pMenu; }

  private:
    friend class DialogWindow;
    QMenu* m_pMenu = nullptr;
};
