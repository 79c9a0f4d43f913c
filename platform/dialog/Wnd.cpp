#include "Wnd.h"

#include "Dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

QWidget* CWnd::GetSafeHwnd() const {
    return m_pDialog ? m_pDialog->FindControl(m_nID) : nullptr;
}

void CWnd::AttachToDialog(const CDialog* pDialog, int nID) {
    m_pDialog = pDialog;
    m_nID = nID;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    QWidget* w = GetSafeHwnd();
    if (!w) {
        return FALSE;
    }
    const BOOL wasDisabled = w->isEnabled() ? FALSE : TRUE;
    w->setEnabled(bEnable != FALSE);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    const QWidget* w = GetSafeHwnd();
    return w && w->isEnabled() ? TRUE : FALSE;
}

BOOL CWnd::SetForegroundWindow() {
    QWidget* w = GetSafeHwnd();
    if (!w) {
        return FALSE;
    }
    QWidget* top = w->window();
    top->raise();
    top->activateWindow();
    return TRUE;
}

BOOL CWnd::IsWindowVisible() const {
    const QWidget* w = GetSafeHwnd();
    return w && w->isVisible() ? TRUE : FALSE;
}

void CWnd::SetWindowText(const std::string& text) {
    QWidget* w = GetSafeHwnd();
    const QString value = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // An unchanged text is left alone, so that a refresh of the fields does
        // not move the caret or the selection under the user's hands; a new
        // text shows from its start, as a Windows edit does.
        if (edit->text() != value) {
            edit->setText(value);
            edit->setCursorPosition(0);
        }
        return;
    }
    // A name taken from the text goes on following it; a name of its own stays.
    const auto rename = [w, &value](const QString& old) {
        if (w->accessibleName() == old) {
            w->setAccessibleName(value);
        }
    };
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        rename(button->text());
        button->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        rename(label->text());
        label->setText(value);
    } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
        rename(frame->title());
        frame->setTitle(value);
    } else if (w && w->isWindow()) {
        w->setWindowTitle(value);
    }
}

void CWnd::GetWindowText(std::string& text) const {
    const QWidget* w = GetSafeHwnd();
    QString value;
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        value = edit->text();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        value = button->text();
    } else if (const auto* label = qobject_cast<const QLabel*>(w)) {
        value = label->text();
    } else if (const auto* frame = qobject_cast<const QGroupBox*>(w)) {
        value = frame->title();
    } else if (w && w->isWindow()) {
        value = w->windowTitle();
    }
    text = value.toStdString();
}

// --- CMenu ---

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const std::string& text) {
    if (!m_pMenu) {
        return FALSE;
    }
    if (nFlags & MF_SEPARATOR) {
        m_pMenu->addSeparator();
        return TRUE;
    }
    QAction* action = m_pMenu->addAction(QString::fromStdString(text));
    action->setData(QVariant::fromValue(static_cast<UINT>(nIDNewItem)));
    return TRUE;
}

int CMenu::GetMenuItemCount() const {
    return m_pMenu ? static_cast<int>(m_pMenu->actions().size()) : -1;
}

UINT CMenu::GetMenuItemID(int nPos) const {
    if (!m_pMenu || nPos < 0 || nPos >= m_pMenu->actions().size()) {
        return static_cast<UINT>(-1);
    }
    const QAction* action = m_pMenu->actions().at(nPos);
    return action->isSeparator() ? 0 : action->data().toUInt();
}

int CMenu::GetMenuString(UINT nIDItem, std::string& text, UINT) const {
    text.clear();
    if (!m_pMenu) {
        return 0;
    }
    for (const QAction* action : m_pMenu->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == nIDItem) {
            text = action->text().toStdString();
            return static_cast<int>(text.size());
        }
    }
    return 0;
}
