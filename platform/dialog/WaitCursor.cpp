#include "WaitCursor.h"

#include <QApplication>
#include <QCursor>

CWaitCursor::CWaitCursor() : m_shown(QApplication::instance() != nullptr) {
    if (m_shown) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
}

CWaitCursor::~CWaitCursor() {
    // Qt keeps the override cursors as a stack: each object takes off the one it put on.
    if (m_shown && QApplication::instance() != nullptr) {
        QApplication::restoreOverrideCursor();
    }
}
