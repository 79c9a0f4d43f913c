#pragma once

// Watches for the framework's message boxes from inside their own event loops: records
// each one and dismisses it with its default button once `ready` says so.

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

struct SeenMessageBox {
    std::string text;
    std::string caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool ownerVisible = false;
};

class MessageBoxWatcher {
  public:
    explicit MessageBoxWatcher(std::function<bool()> ready = [] { return true; })
        : m_ready(std::move(ready)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(5);
    }

    const std::vector<SeenMessageBox>& Seen() const { return m_seen; }

  private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || box == m_dismissing) {
                continue;
            }
            if (m_current != box) {
                m_current = box;
                m_seen.push_back({box->text().toStdString(), box->windowTitle().toStdString(),
                                  box->icon(),
                                  box->parentWidget() && box->parentWidget()->isVisible()});
            }
            if (m_ready()) {
                m_dismissing = box;
                box->defaultButton()->click();
            }
        }
    }

    std::function<bool()> m_ready;
    QTimer m_timer;
    std::vector<SeenMessageBox> m_seen;
    QPointer<QMessageBox> m_current;
    QPointer<QMessageBox> m_dismissing;
};
