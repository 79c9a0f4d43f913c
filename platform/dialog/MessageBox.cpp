#include "DialogWindow.h"
#include "WinApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

namespace {

QMessageBox::Icon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The buttons of a box kind with the result each gives, in Windows order.
std::vector<std::pair<QMessageBox::StandardButton, int>> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT},
                {QMessageBox::Retry, IDRETRY},
                {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {
            {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

} // namespace

int ShowMessageBox(DialogWindow* owner, const std::string& text, const std::string& caption,
                   UINT type) {
    if (!QApplication::instance())
        return 0;
    // A box asked for while its dialog is being set up (never shown nor hidden yet) comes
    // after the dialog appears.
    if (owner && !owner->testAttribute(Qt::WA_WState_ExplicitShowHide))
        owner->show();
    const QString title =
        caption.empty() ? QApplication::applicationName() : QString::fromStdString(caption);
    QMessageBox box(IconOf(type), title, QString::fromStdString(text), QMessageBox::NoButton,
                    owner);
    box.setObjectName(QStringLiteral("AfxMessageBox"));
    const auto buttons = ButtonsOf(type);
    for (const auto& [button, result] : buttons)
        box.addButton(button);
    const std::size_t defaultIndex =
        ((type & MB_DEFMASK) >> 8) < buttons.size() ? (type & MB_DEFMASK) >> 8 : 0;
    box.setDefaultButton(buttons[defaultIndex].first);
    // Escape answers like the box's cancel (or its only) button, as on Windows.
    for (const auto& [button, result] : buttons)
        if (result == IDCANCEL || buttons.size() == 1)
            box.setEscapeButton(button);
    box.exec();
    const auto* clicked = box.clickedButton();
    for (const auto& [button, result] : buttons)
        if (clicked == box.button(button))
            return result;
    return buttons.size() == 1 ? buttons.front().second : IDCANCEL;
}

int AfxMessageBox(const std::string& text, UINT nType, UINT) {
    const CWinApp* app = AfxGetApp();
    return ShowMessageBox(FrontDialogWindow(), text, app ? app->m_pszAppName : std::string(),
                          nType);
}
