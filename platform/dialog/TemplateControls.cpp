#include "TemplateControls.h"

#include "DialogTemplate.h"
#include "IconResource.h"
#include "WinApp.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyleOption>
#include <qdrawutil.h>

void ReleaseSlider::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    QSlider::mousePressEvent(event);
}

void ReleaseSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (m_pressed && event->button() == Qt::LeftButton) {
        m_pressed = false;
        if (onReleased) {
            onReleased();
        }
    }
}

NotifyListBox::NotifyListBox(QWidget* parent) : QListView(parent) {
    setModel(&m_lines);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Lines of one font are all of one height: the view then lays out a list of many
    // thousand lines without measuring each.
    setUniformItemSizes(true);
}

void NotifyListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && onDoubleClicked) {
        onDoubleClicked();
    }
}

namespace {

Qt::Alignment HorizontalAlignment(CtlStyle style) {
    return HasStyle(style, CtlStyle::Right) ? Qt::AlignRight : Qt::AlignLeft;
}

// A sunken one-pixel edge: dark above and left, light below and right.
void ApplyStaticEdge(QWidget* widget) {
    widget->setStyleSheet(QStringLiteral("#%1 { border: 1px solid; border-color: palette(dark) "
                                         "palette(light) palette(light) palette(dark); }")
                              .arg(widget->objectName()));
}

// A frame as the templates expect it: its etched line runs through the middle of the title,
// half a line from the top, so that a control placed a line under the top stands clear inside
// it. The application's own style would draw the line under the title, across such a control.
class TemplateFrameStyle final : public QProxyStyle {
  public:
    // The title a letter in from the frame's left end, with a little room either side that
    // the line leaves free.
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || sub != SC_GroupBoxLabel || !box) {
            return QProxyStyle::subControlRect(control, option, sub, widget);
        }
        const QFontMetrics& fm = box->fontMetrics;
        return QRect(box->rect.left() + fm.averageCharWidth(), box->rect.top(),
                     fm.horizontalAdvance(box->text) + 4, fm.height());
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect label = subControlRect(CC_GroupBox, box, SC_GroupBoxLabel, widget);
        const QRect frame = box->rect.adjusted(0, box->fontMetrics.height() / 2, 0, 0);
        painter->save();
        if (!box->text.isEmpty()) {
            painter->setClipRegion(QRegion(box->rect) - label);
        }
        qDrawShadeRect(painter, frame, box->palette, true, 1, 0);
        painter->restore();
        if (!box->text.isEmpty()) {
            drawItemText(painter, label, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextHideMnemonic,
                         box->palette, (box->state & State_Enabled) != 0, box->text,
                         QPalette::WindowText);
        }
    }
};

QStyle* FrameStyle() {
    // One for every frame, ended with the application.
    static QPointer<TemplateFrameStyle> style;
    if (!style) {
        style = new TemplateFrameStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

QWidget* MakeWidget(const DialogControl& c, QWidget* parent) {
    const QString text = QString::fromUtf8(c.text ? c.text : "");
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, parent);
        // A focused button takes Enter, as on Windows.
        button->setAutoDefault(true);
        button->setDefault(c.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(text, parent);
        edit->setAlignment(HorizontalAlignment(c.style) | Qt::AlignVCenter);
        edit->setReadOnly(HasStyle(c.style, CtlStyle::ReadOnly));
        edit->setFrame(!HasStyle(c.style, CtlStyle::NoBorder));
        if (HasStyle(c.style, CtlStyle::Number)) {
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
        }
        return edit;
    }
    case ControlKind::Static: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(HorizontalAlignment(c.style) | Qt::AlignTop);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        return label;
    }
    case ControlKind::GroupBox: {
        auto* frame = new QGroupBox(text, parent);
        frame->setStyle(FrameStyle());
        // Only drawn: it must neither hide nor catch the mouse for the controls inside.
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        return frame;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(text, parent);
        if (HasStyle(c.style, CtlStyle::LeftText)) {
            box->setLayoutDirection(Qt::RightToLeft);
        }
        return box;
    }
    case ControlKind::ListBox: {
        auto* list = new NotifyListBox(parent);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        if (HasStyle(c.style, CtlStyle::NoBorder)) {
            list->setFrameShape(QFrame::NoFrame);
        }
        return list;
    }
    case ControlKind::Slider: {
        const bool vertical = HasStyle(c.style, CtlStyle::Vertical);
        auto* slider = new ReleaseSlider(vertical ? Qt::Vertical : Qt::Horizontal, parent);
        slider->setRange(0, 100);
        slider->setSingleStep(1);
        slider->setPageStep(20);
        // Windows trackbars put the minimum at the top and move down with the Down key.
        slider->setInvertedAppearance(vertical);
        slider->setInvertedControls(vertical);
        slider->setTickPosition(HasStyle(c.style, CtlStyle::NoTicks) ? QSlider::NoTicks
                                                                     : QSlider::TicksBelow);
        return slider;
    }
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(parent);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (HICON icon = AfxFindIcon(c.icon)) {
            label->setPixmap(QPixmap::fromImage(icon->Picture(32)));
        }
        return label;
    }
    }
    return new QWidget(parent);
}

} // namespace

QWidget* CreateTemplateControl(const DialogControl& c, QWidget* parent) {
    QWidget* widget = MakeWidget(c, parent);
    widget->setObjectName(QString::number(c.id));
    widget->setAccessibleName(
        QString::fromUtf8(c.accessibleName ? c.accessibleName : (c.text ? c.text : "")));
    int width = DialogUnitsToPixelsX(c.cx);
    int height = DialogUnitsToPixelsY(c.cy);
    if (c.kind == ControlKind::Icon) {
        // An icon control takes the size of its picture, as on Windows.
        if (const auto* label = static_cast<QLabel*>(widget); !label->pixmap().isNull()) {
            width = label->pixmap().width();
            height = label->pixmap().height();
        }
    }
    widget->setGeometry(DialogUnitsToPixelsX(c.x), DialogUnitsToPixelsY(c.y), width, height);

    const bool focusable = c.kind != ControlKind::Static && c.kind != ControlKind::GroupBox &&
                           c.kind != ControlKind::Icon && c.kind != ControlKind::Progress;
    if (focusable) {
        widget->setFocusPolicy(HasStyle(c.style, CtlStyle::TabStop) ? Qt::StrongFocus
                                                                    : Qt::ClickFocus);
    } else {
        widget->setFocusPolicy(Qt::NoFocus);
    }
    if (HasStyle(c.style, CtlStyle::StaticEdge)) {
        ApplyStaticEdge(widget);
    }
    widget->setEnabled(!HasStyle(c.style, CtlStyle::Disabled));
    widget->setVisible(!HasStyle(c.style, CtlStyle::Hidden));
    if (c.kind == ControlKind::GroupBox) {
        widget->lower();
    }
    return widget;
}
