#pragma once

#include "AfxTypes.h"
#include "DialogTemplate.h"
#include "MessageMap.h"
#include "Wnd.h"

#include <memory>
#include <string>

class CDataExchange;
class DialogWindow;

// A dialog built from a template. DoModal creates the window and its controls in template
// order, calls OnInitDialog, shows the window and runs its own event loop until EndDialog;
// the window is destroyed (WM_DESTROY first) before DoModal returns.
class CDialog : public CWnd {
  public:
    // The template must outlive the dialog.
    explicit CDialog(const DialogTemplate& dialogTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // IDOK, IDCANCEL or the value given to EndDialog; -1 when no window could be made.
    virtual INT_PTR DoModal();
    // A modeless dialog: created, set up and shown; DestroyWindow ends it.
    BOOL Create(CWnd* pParentWnd = nullptr);
    BOOL DestroyWindow();
    // Ends the modal run with nResult once the current handler returns; hides the window.
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    // TRUE: controls into fields, validating; FALSE: fields into controls.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    BOOL UpdateFields() { return UpdateData(TRUE); }
    void UpdateControls() { UpdateData(FALSE); }
    // As UpdateData, but the edit that holds the window's keyboard focus (kept by the window
    // while it is inactive) is neither read nor written, unless it is read-only: for a
    // refresh that runs by itself, which must neither judge nor overwrite a value still
    // being typed. While a message box of the dialog is open it exchanges nothing and
    // returns FALSE.
    BOOL UpdateDataBesideFocus(BOOL bSaveAndValidate);

    // A wrapper owned by the dialog, or null when no control has that identifier.
    CWnd* GetDlgItem(int nID);
    void SetDlgItemText(int nID, const std::string& text);
    int GetDlgItemText(int nID, std::string& text) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;

    // Each expiry arrives as WM_TIMER (OnTimer); setting a running id restarts it.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // A modal message box owned by this dialog; timers keep running while it is open.
    int MessageBox(const std::string& text, const std::string& caption = {}, UINT nType = MB_OK);

    // Offered as the window's context menu and on Alt+Space; entries arrive as
    // WM_SYSCOMMAND with their identifiers. Null without a window or a system menu.
    CMenu* GetSystemMenu(BOOL bRevert);

    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const;
    BOOL IsIconic() const;
    void GetClientRect(CRect* lpRect) const;

    // Routes a message through the command map, as the framework does for every event.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    QWidget* GetSafeHwnd() const override;
    // Returns whether the window was visible before the call.
    BOOL ShowWindow(int nCmdShow);
    // The client area is asked to repaint: WM_PAINT follows.
    void Invalidate(BOOL bErase = TRUE);
    void UpdateWindow();

    // The widget of control nID, or null (framework use).
    QWidget* FindControl(int nID) const;
    DialogWindow* GetDialogWindow() const;

  protected:
    // The default handling, for handlers that pass a message on.
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();

    static const AfxMessageMap* GetThisMessageMap();
    virtual const AfxMessageMap* GetMessageMap() const;

  private:
    BOOL CreateWindowFromTemplate(CWnd* pParentWnd);
    BOOL Exchange(BOOL bSaveAndValidate, int nIDLeftAlone);
    void ShowAndFocus(BOOL bFocusFirst);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    struct Impl;
    const DialogTemplate* m_pTemplate;
    CWnd* m_pParentWnd;
    std::unique_ptr<Impl> m_pImpl;
};
