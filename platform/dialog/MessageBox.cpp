#include "DialogWindow.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int ShowMessageBox(DialogWindow* owner, const std::string& text, const std::string& caption,
                   UINT type) {
    if (!QApplication::instance()) {
        return 0;
    }
    // A box asked for while its dialog is being set up (never shown nor hidden yet) comes
    // after the dialog appears.
    if (owner && !owner->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
        owner->show();
    }
    const QString title =
        caption.empty() ? QApplication::applicationName() : QString::fromStdString(caption);
    QMessageBox box(IconOf(type), title, QString::fromStdString(text), QMessageBox::NoButton,
                    owner);
    box.setObjectName(QStringLiteral("AfxMessageBox"));
    box.addButton(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    // Escape answers like the only button, as on Windows.
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return IDOK;
}
