#include "Dialog.h"

#include "DataExchange.h"
#include "DialogWindow.h"
#include "WinApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>
#include <map>
#include <vector>

namespace {

// Live dialogs, oldest first.
std::vector<CDialog*>& LiveDialogs() {
    static std::vector<CDialog*> dialogs;
    return dialogs;
}

} // namespace

DialogWindow* FrontDialogWindow() {
    for (auto it = LiveDialogs().rbegin(); it != LiveDialogs().rend(); ++it) {
        if (DialogWindow* w = (*it)->GetDialogWindow()) {
            return w;
        }
    }
    return nullptr;
}

struct CDialog::Impl {
    QPointer<DialogWindow> window;
    QEventLoop* loop = nullptr;
    int result = -1;
    bool ended = false;
    int openBoxes = 0; // message boxes of this dialog now open
    std::map<int, std::unique_ptr<CWnd>> items;
};

CDialog::CDialog(const DialogTemplate& dialogTemplate, CWnd* pParentWnd)
    : m_pTemplate(&dialogTemplate), m_pParentWnd(pParentWnd), m_pImpl(std::make_unique<Impl>()) {}

CDialog::~CDialog() {
    // The derived part is gone: no handler of it may run now, so no WM_DESTROY.
    auto& live = LiveDialogs();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (m_pImpl->window) {
        m_pImpl->window->StopAllTimers();
        delete m_pImpl->window.data();
    }
}

DialogWindow* CDialog::GetDialogWindow() const {
    return m_pImpl->window.data();
}

QWidget* CDialog::GetSafeHwnd() const {
    return m_pImpl->window.data();
}

QWidget* CDialog::FindControl(int nID) const {
    return m_pImpl->window ? m_pImpl->window->Control(nID) : nullptr;
}

BOOL CDialog::CreateWindowFromTemplate(CWnd* pParentWnd) {
    if (m_pImpl->window || !QApplication::instance()) {
        return FALSE;
    }
    CWnd* parent = pParentWnd ? pParentWnd : m_pParentWnd;
    QWidget* parentWidget = parent ? parent->GetSafeHwnd() : nullptr;
    if (!parentWidget) {
        parentWidget = FrontDialogWindow();
    }
    m_pImpl->window = new DialogWindow(*this, *m_pTemplate, parentWidget);
    m_pImpl->result = -1;
    m_pImpl->ended = false;
    LiveDialogs().push_back(this);
    return TRUE;
}

void CDialog::ShowAndFocus(BOOL bFocusFirst) {
    DialogWindow* w = m_pImpl->window;
    if (!w || m_pImpl->ended) {
        return;
    }
    if (!w->isVisible()) {
        w->show();
    }
    w->activateWindow();
    if (bFocusFirst) {
        if (QWidget* first = w->FirstTabStop()) {
            first->setFocus(Qt::TabFocusReason);
        }
    }
}

INT_PTR CDialog::DoModal() {
    if (!CreateWindowFromTemplate(nullptr)) {
        return -1;
    }
    m_pImpl->window->setWindowModality(Qt::ApplicationModal);
    const BOOL focusFirst = OnInitDialog();
    if (!m_pImpl->ended) {
        ShowAndFocus(focusFirst);
        QEventLoop loop;
        m_pImpl->loop = &loop;
        if (!m_pImpl->ended && m_pImpl->window) {
            loop.exec(QEventLoop::DialogExec);
        }
        m_pImpl->loop = nullptr;
    }
    const int result = m_pImpl->result;
    DestroyWindow();
    return result;
}

BOOL CDialog::Create(CWnd* pParentWnd) {
    if (!CreateWindowFromTemplate(pParentWnd)) {
        return FALSE;
    }
    ShowAndFocus(OnInitDialog());
    return TRUE;
}

BOOL CDialog::DestroyWindow() {
    if (!m_pImpl->window) {
        return FALSE;
    }
    if (m_pImpl->loop) {
        // Inside the modal run the window may be under a handler still on the stack: the
        // run ends and DoModal destroys it once that handler has returned.
        EndDialog(-1);
        return TRUE;
    }
    SendMessage(WM_DESTROY);
    // The window takes its timers with it: nothing of it may arrive after WM_DESTROY.
    m_pImpl->window->StopAllTimers();
    m_pImpl->window->hide();
    delete m_pImpl->window.data();
    m_pImpl->items.clear();
    auto& live = LiveDialogs();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    return TRUE;
}

void CDialog::EndDialog(int nResult) {
    m_pImpl->result = nResult;
    m_pImpl->ended = true;
    if (m_pImpl->window) {
        m_pImpl->window->hide();
    }
    if (m_pImpl->loop) {
        m_pImpl->loop->quit();
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    return Exchange(bSaveAndValidate, 0);
}

BOOL CDialog::UpdateDataBesideFocus(BOOL bSaveAndValidate) {
    // Under a box the focus has not yet gone back to the edit it is about, and a refresh
    // could open a second box over the first.
    if (m_pImpl->openBoxes > 0) {
        return FALSE;
    }
    DialogWindow* w = m_pImpl->window;
    auto* edit = w ? qobject_cast<QLineEdit*>(w->focusWidget()) : nullptr;
    return Exchange(bSaveAndValidate, edit && !edit->isReadOnly() ? w->ControlId(edit) : 0);
}

BOOL CDialog::Exchange(BOOL bSaveAndValidate, int nIDLeftAlone) {
    if (!m_pImpl->window) {
        return FALSE;
    }
    CDataExchange dx(this, bSaveAndValidate);
    dx.m_idLeftAlone = nIDLeftAlone;
    DoDataExchange(&dx);
    return dx.Failed() ? FALSE : TRUE;
}

// --- controls by identifier ---

CWnd* CDialog::GetDlgItem(int nID) {
    if (!FindControl(nID)) {
        return nullptr;
    }
    auto& item = m_pImpl->items[nID];
    if (!item) {
        item = std::make_unique<CWnd>();
        item->AttachToDialog(this, nID);
    }
    return item.get();
}

void CDialog::SetDlgItemText(int nID, const std::string& text) {
    if (CWnd* item = GetDlgItem(nID)) {
        item->SetWindowText(text);
    }
}

int CDialog::GetDlgItemText(int nID, std::string& text) const {
    CWnd item;
    item.AttachToDialog(this, nID);
    item.GetWindowText(text);
    return static_cast<int>(text.size());
}

void CDialog::CheckDlgButton(int nIDButton, UINT nCheck) {
    if (auto* button = qobject_cast<QAbstractButton*>(FindControl(nIDButton));
        button && button->isCheckable()) {
        button->setChecked(nCheck != BST_UNCHECKED);
    }
}

UINT CDialog::IsDlgButtonChecked(int nIDButton) const {
    const auto* button = qobject_cast<QAbstractButton*>(FindControl(nIDButton));
    return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

// --- timers, message boxes, system menu, icons, state ---

UINT_PTR CDialog::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*) {
    if (!m_pImpl->window || nIDEvent == 0) {
        return 0;
    }
    return m_pImpl->window->StartTimer(nIDEvent, nElapse);
}

BOOL CDialog::KillTimer(UINT_PTR nIDEvent) {
    return m_pImpl->window && m_pImpl->window->StopTimer(nIDEvent) ? TRUE : FALSE;
}

int CDialog::MessageBox(const std::string& text, const std::string& caption, UINT nType) {
    QPointer<DialogWindow> owner = m_pImpl->window ? m_pImpl->window.data() : FrontDialogWindow();
    const CWinApp* app = AfxGetApp();
    ++m_pImpl->openBoxes;
    const int result =
        ShowMessageBox(owner, text, caption.empty() && app ? app->m_pszAppName : caption, nType);
    --m_pImpl->openBoxes;
    // The owner is active again once its box has closed, as on Windows; without a window
    // manager to do it, nothing would give it the keyboard back.
    if (owner && owner->isVisible()) {
        owner->activateWindow();
    }
    return result;
}

CMenu* CDialog::GetSystemMenu(BOOL) {
    return m_pImpl->window ? m_pImpl->window->SystemMenu() : nullptr;
}

HICON CDialog::SetIcon(HICON hIcon, BOOL bBigIcon) {
    DialogWindow* w = m_pImpl->window;
    if (!w) {
        return nullptr;
    }
    const HICON previous = bBigIcon ? w->BigIcon() : w->SmallIcon();
    if (bBigIcon) {
        w->SetIcons(hIcon, w->SmallIcon());
    } else {
        w->SetIcons(w->BigIcon(), hIcon);
    }
    return previous;
}

HICON CDialog::GetIcon(BOOL bBigIcon) const {
    DialogWindow* w = m_pImpl->window;
    if (!w) {
        return nullptr;
    }
    return bBigIcon ? w->BigIcon() : w->SmallIcon();
}

BOOL CDialog::IsIconic() const {
    return m_pImpl->window && m_pImpl->window->isMinimized();
}

void CDialog::GetClientRect(CRect* lpRect) const {
    if (!lpRect) {
        return;
    }
    DialogWindow* w = m_pImpl->window;
    *lpRect = w ? CRect(0, 0, w->width(), w->height()) : CRect();
}

BOOL CDialog::ShowWindow(int nCmdShow) {
    DialogWindow* w = m_pImpl->window;
    if (!w) {
        return FALSE;
    }
    const BOOL wasVisible = w->isVisible() ? TRUE : FALSE;
    switch (nCmdShow) {
    case SW_MINIMIZE:
        w->showMinimized();
        break;
    case SW_RESTORE:
        w->showNormal();
        break;
    default:
        w->show();
        break;
    }
    return wasVisible;
}

void CDialog::Invalidate(BOOL) {
    if (m_pImpl->window) {
        m_pImpl->window->InvalidateAll();
    }
}

void CDialog::UpdateWindow() {
    if (m_pImpl->window) {
        m_pImpl->window->FlushPaint();
    }
}

// --- messages ---

const AfxMessageMap* CDialog::GetThisMessageMap() {
    static const AfxMessageMapEntry entries[] = {{0, 0, 0, nullptr}};
    static const AfxMessageMap map = {nullptr, &entries[0]};
    return &map;
}

const AfxMessageMap* CDialog::GetMessageMap() const {
    return GetThisMessageMap();
}

namespace {

bool Matches(const AfxMessageMapEntry& e, UINT message, WPARAM wParam, LPARAM lParam) {
    if (e.nMessage != message) {
        return false;
    }
    if (message == WM_COMMAND) {
        return e.nCode == HIWORD(wParam) && (e.nID & 0xffff) == LOWORD(wParam);
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return header && e.nCode == header->code && e.nID == header->idFrom;
    }
    return true;
}

} // namespace

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    for (const AfxMessageMap* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AfxMessageMapEntry* e = map->lpEntries; e->pfn; ++e) {
            if (Matches(*e, message, wParam, lParam)) {
                return e->pfn(this, wParam, lParam);
            }
        }
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
            } else if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
            }
        }
        return 0;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_CLOSE:
        return SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ICONERASEBKGND:
        if (m_pImpl->window) {
            m_pImpl->window->EraseSurface();
        }
        return 1;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return 0;
    }
}

void CDialog::OnSysCommand(UINT nID, LPARAM) {
    switch (nID & 0xfff0) {
    case SC_MINIMIZE:
        ShowWindow(SW_MINIMIZE);
        break;
    case SC_RESTORE:
        ShowWindow(SW_RESTORE);
        break;
    case SC_CLOSE:
        SendMessage(WM_CLOSE);
        break;
    default:
        break;
    }
}

void CDialog::OnPaint() {
    // The dialog's own painting: its background, under the controls.
    if (m_pImpl->window) {
        m_pImpl->window->EraseSurface();
    }
}

HCURSOR CDialog::OnQueryDragIcon() {
    return GetIcon(TRUE);
}

void CDialog::OnTimer(UINT_PTR) {}

void CDialog::OnDestroy() {}
