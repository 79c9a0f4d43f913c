#pragma once

// Inside the dialog layer: the Qt widgets that stand for template controls.

#include <QListWidget>
#include <QSlider>

#include <functional>

struct DialogControl;

// A slider that reports the mouse letting go of it, after a drag or a click beside the
// thumb alike, once the position is final; keyboard moves report nothing.
class ReleaseSlider final : public QSlider {
  public:
    using QSlider::QSlider;
    std::function<void()> onReleased;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool m_pressed = false;
};

// A list box that reports double-clicks when its template asks for notifications.
//
// Lines appended one by one are held back and handed to the widget together when the window
// next handles its events, or before any other operation on the list: a view told of each
// line alone spends far longer on a playlist of many thousand lines than on the lines.
class NotifyListBox final : public QListWidget {
  public:
    using QListWidget::QListWidget;
    std::function<void()> onDoubleClicked;
    // Lines go into their place in case-blind order rather than at the end.
    bool sorted = false;

    void Append(const QString& line);
    int PendingCount() const { return static_cast<int>(m_pending.size()); }
    void Flush();
    void DropPending() { m_pending.clear(); }

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QStringList m_pending;
    bool m_flushPosted = false;
};

// Makes the widget of one template control, placed and styled, as a child of parent.
QWidget* CreateTemplateControl(const DialogControl& control, QWidget* parent);
