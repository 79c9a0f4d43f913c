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
class NotifyListBox final : public QListWidget {
  public:
    using QListWidget::QListWidget;
    std::function<void()> onDoubleClicked;

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// Makes the widget of one template control, placed and styled, as a child of parent.
QWidget* CreateTemplateControl(const DialogControl& control, QWidget* parent);
