#include "DialogWindow.h"

#include "Dialog.h"
#include "DialogTemplate.h"
#include "IconResource.h"
#include "TemplateControls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace {

// The fixed base units stand for the template font's metrics. Where that font is missing,
// a sans whose letters have the widths of the one the templates were laid out with takes its
// place; a font that stands in for it otherwise is usually wider, and its texts would
// overflow their controls, so it is narrowed until its average letter, measured as Windows
// measures it, fits the horizontal unit.
QFont TemplateFont(const DialogTemplate& t) {
    QFont font;
    font.setFamilies({QString::fromUtf8(t.fontName ? t.fontName : ""),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    font.setPixelSize(std::max(1, (t.fontPoints > 0 ? t.fontPoints : 8) * 96 / 72));
    // Hinting rounds each letter to whole device pixels, which makes a text narrower or wider
    // at one pixel ratio than at another; without it a text takes the same room in its
    // control at every ratio, and what fits at one fits at all.
    font.setHintingPreference(QFont::PreferNoHinting);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    for (int stretch : {QFont::Unstretched, QFont::SemiCondensed, QFont::Condensed}) {
        font.setStretch(stretch);
        const int width = QFontMetrics(font).horizontalAdvance(letters);
        if ((width + 26) / 52 <= DialogUnitsToPixelsX(4)) {
            break;
        }
    }
    return font;
}

} // namespace

DialogWindow::DialogWindow(CDialog& owner, const DialogTemplate& t, QWidget* parent)
    : QDialog(parent), m_owner(owner) {
    m_hasSystemMenu = HasStyle(t.style, DlgStyle::SystemMenu);
    m_hasMinimizeBox = HasStyle(t.style, DlgStyle::MinimizeBox);
    Qt::WindowFlags flags = HasStyle(t.style, DlgStyle::AppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_hasSystemMenu) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (m_hasMinimizeBox) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    setWindowFlags(flags);
    setWindowTitle(QString::fromUtf8(t.caption ? t.caption : ""));
    setFont(TemplateFont(t));
    setFixedSize(DialogUnitsToPixelsX(t.cx), DialogUnitsToPixelsY(t.cy));

    CreateSurface();

    m_systemMenu.m_pMenu = new QMenu(this);
    // Commands arrive once the menu has closed, as on Windows.
    connect(m_systemMenu.m_pMenu, &QMenu::triggered, this, [this](QAction* action) {
        const UINT id = action->data().toUInt();
        QTimer::singleShot(0, this, [this, id] { m_owner.SendMessage(WM_SYSCOMMAND, id); });
    });
    m_systemMenu.AppendMenu(MF_STRING, SC_RESTORE, "&Restore");
    if (m_hasMinimizeBox) {
        m_systemMenu.AppendMenu(MF_STRING, SC_MINIMIZE, "Mi&nimize");
    }
    m_systemMenu.AppendMenu(MF_SEPARATOR);
    m_systemMenu.AppendMenu(MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
    if (m_hasSystemMenu) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::AltModifier | Qt::Key_Space), this);
        connect(shortcut, &QShortcut::activated, this,
                [this] { PopUpSystemMenu(mapToGlobal(QPoint(0, 0))); });
    }

    CreateControls(t);
    connect(qApp, &QApplication::focusChanged, this, &DialogWindow::ReportLostFocus);
}

DialogWindow::~DialogWindow() {
    EndSurfacePainter();
    StopAllTimers();
    // The controls give up the focus as the widget part of this window tears them down,
    // when this part of it is gone already.
    disconnect(qApp, &QApplication::focusChanged, this, &DialogWindow::ReportLostFocus);
}

void DialogWindow::CreateControls(const DialogTemplate& t) {
    for (const DialogControl& c : t.controls) {
        QWidget* widget = CreateTemplateControl(c, this);
        // The first of equal identifiers is the one found.
        const auto at = std::lower_bound(m_controls.begin(), m_controls.end(), c.id, IdBelow);
        if (at == m_controls.end() || at->first != c.id) {
            m_controls.emplace(at, c.id, widget);
        }
        m_controlOrder.push_back(widget);
        const int id = c.id;
        if (c.kind == ControlKind::DefPushButton) {
            m_defaultButtonId = id;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { Command(id, BN_CLICKED); });
        } else if (auto* slider = dynamic_cast<ReleaseSlider*>(widget)) {
            slider->onReleased = [this, id, slider] {
                NMHDR header{slider, static_cast<UINT_PTR>(id), NM_RELEASEDCAPTURE};
                m_owner.SendMessage(WM_NOTIFY, static_cast<WPARAM>(id),
                                    reinterpret_cast<LPARAM>(&header));
            };
        } else if (auto* list = dynamic_cast<NotifyListBox*>(widget)) {
            if (HasStyle(c.style, CtlStyle::Notify)) {
                list->onDoubleClicked = [this, id] { Command(id, LBN_DBLCLK); };
            }
        }
    }
}

QWidget* DialogWindow::Control(int id) const {
    const auto it = std::lower_bound(m_controls.begin(), m_controls.end(), id, IdBelow);
    return it == m_controls.end() || it->first != id ? nullptr : it->second;
}

int DialogWindow::ControlId(const QWidget* control) const {
    for (const auto& [id, widget] : m_controls) {
        if (widget == control) {
            return id;
        }
    }
    return 0;
}

QWidget* DialogWindow::FirstTabStop() const {
    for (QWidget* w : m_controlOrder) {
        if (w->focusPolicy() == Qt::StrongFocus && w->isEnabled() && !w->isHidden()) {
            return w;
        }
    }
    return nullptr;
}

void DialogWindow::Command(int id, UINT code) {
    m_owner.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), code),
                        reinterpret_cast<LPARAM>(Control(id)));
}

// --- focus after a failed validation ---

void DialogWindow::FocusFailedControl(QWidget* control, bool selectText) {
    m_failedControl = control;
    m_selectFailedText = selectText;
    ApplyFailedControlFocus();
    // Active already: the focus is real, and nothing will take the selection away.
    if (isActiveWindow()) {
        m_failedControl = nullptr;
    }
}

void DialogWindow::ApplyFailedControlFocus() {
    if (!m_failedControl) {
        return;
    }
    m_failedControl->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(m_failedControl.data()); edit && m_selectFailedText) {
        edit->selectAll();
    }
}

// An edit reports the loss of the focus only when the focus has gone to another control of
// this window: a window that just goes inactive (a message box over it, another program)
// keeps the edit as its focus, and a report then would open a box over a box. The report
// waits until the event that moved the focus is handled, so that a box it opens comes after
// the press that moved the focus rather than in the middle of it.
void DialogWindow::ReportLostFocus(QWidget* old, QWidget* now) {
    if (!old || !now || now->window() != this || !qobject_cast<QLineEdit*>(old)) {
        return;
    }
    if (const int id = ControlId(old); id != 0) {
        QTimer::singleShot(0, this, [this, id] { Command(id, EN_KILLFOCUS); });
    }
}

bool DialogWindow::event(QEvent* event) {
    // Which controls lie over the panes is found again once they change (see eventFilter).
    // Only controls are watched: the tick's own timer is a child too, and its every event
    // would pass through the filter.
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) {
        m_paneCovered.clear();
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (event->type() == QEvent::ChildAdded && child->isWidgetType()) {
            child->installEventFilter(this);
        }
    }
    // The window gets this before its controls do and before Qt gives the focus back, so
    // the edit holds the focus by the time its own activation handling looks at it.
    if (event->type() == QEvent::WindowActivate && m_failedControl) {
        ApplyFailedControlFocus();
        m_failedControl = nullptr;
    }
    return QDialog::event(event);
}

// --- painting ---

// The image holds device pixels at the window's ratio, so that on a high-density screen the
// drawing is as sharp as the controls over it; its painter and the drawing surface still
// work in the window's logical pixels.
void DialogWindow::CreateSurface() {
    const qreal ratio = devicePixelRatioF();
    EndSurfacePainter();
    m_unchanged.Forget();
    m_surface = QImage(size() * ratio, QImage::Format_RGB32);
    m_surface.setDevicePixelRatio(ratio);
    EraseSurface();
}

void DialogWindow::EraseSurface() {
    EndSurfacePainter();
    m_unchanged.Forget();
    m_fills.Forget();
    m_surface.fill(palette().color(QPalette::Window));
    // Inside WM_PAINT the whole client area is about to be shown anyway; asking again
    // from there would only loop.
    if (!m_inPaint) {
        ShowAreas({CRect(0, 0, width(), height())});
    }
}

void DialogWindow::InvalidateAll() {
    m_paintPending = true;
    update();
    // A minimised window gets no paint events, yet the program paints it (its icon).
    QTimer::singleShot(0, this, [this] { FlushPaint(); });
}

void DialogWindow::FlushPaint() {
    if (!m_paintPending) {
        return;
    }
    DispatchPaint();
    update();
}

void DialogWindow::DispatchPaint() {
    m_paintPending = false;
    m_inPaint = true;
    m_paintedAreas.clear();
    m_owner.SendMessage(WM_PAINT);
    m_inPaint = false;
    m_paneAreas = m_paintedAreas;
    // Not from within the paint event that may have sent it.
    QTimer::singleShot(0, this, [this] { ArrangePanes(); });
}

void DialogWindow::paintEvent(QPaintEvent* event) {
    // Moved to a screen of another density: the program draws it all again at the new one.
    if (!qFuzzyCompare(m_surface.devicePixelRatio(), devicePixelRatioF())) {
        CreateSurface();
        m_paintPending = true;
    }
    // WM_PAINT comes only when the window needs its client area drawn again, not for the
    // repaints that controls over the image cause, so what the program draws between its
    // paints is not wiped by them.
    if (m_paintPending) {
        DispatchPaint();
    }
    EndSurfacePainter();
    QPainter painter(this);
    const qreal ratio = m_surface.devicePixelRatio();
    for (const QRect& area : event->region()) {
        painter.drawImage(QRectF(area), m_surface,
                          QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
    }
    painter.end();
}

void DialogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    InvalidateAll();
}

void DialogWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        InvalidateAll();
    }
}

// --- keyboard, close box, system menu ---

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PressDefaultButton();
        return;
    case Qt::Key_Escape:
        // Escape cancels a dialog that offers cancelling: one with a usable cancel button or
        // with none at all (a box with only OK). A window whose cancel control is hidden or
        // disabled ends by its close box alone, so that a stray key press cannot end it.
        if (QWidget* cancel = Control(IDCANCEL);
            !cancel || (cancel->isEnabled() && !cancel->isHidden())) {
            Command(IDCANCEL, BN_CLICKED);
        }
        return;
    case Qt::Key_Space:
        if (event->modifiers() == Qt::AltModifier && m_hasSystemMenu) {
            PopUpSystemMenu(mapToGlobal(QPoint(0, 0)));
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void DialogWindow::PressDefaultButton() {
    // A focused push button has taken Enter itself before it came here.
    if (m_defaultButtonId == 0) {
        Command(IDOK, BN_CLICKED);
        return;
    }
    auto* button = qobject_cast<QPushButton*>(Control(m_defaultButtonId));
    if (button && button->isEnabled() && button->isVisible()) {
        button->click();
    }
}

void DialogWindow::reject() {
    // Asked of the dialog from outside (Escape is handled above): the cancel command.
    Command(IDCANCEL, BN_CLICKED);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_owner.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (m_hasSystemMenu) {
        PopUpSystemMenu(event->globalPos());
    }
}

void DialogWindow::PopUpSystemMenu(const QPoint& globalPos) {
    QMenu* menu = m_systemMenu.m_pMenu;
    for (QAction* action : menu->actions()) {
        const UINT id = action->data().toUInt();
        if (id == SC_RESTORE) {
            action->setEnabled(isMinimized());
        } else if (id == SC_MINIMIZE) {
            action->setEnabled(!isMinimized());
        }
    }
    menu->popup(globalPos);
}

// --- timers ---

UINT_PTR DialogWindow::StartTimer(UINT_PTR id, UINT ms) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { m_owner.SendMessage(WM_TIMER, id); });
    }
    timer->start(static_cast<int>(ms));
    return id;
}

bool DialogWindow::StopTimer(UINT_PTR id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return false;
    }
    // KillTimer may come from the timer's own expiry, so the timer is deleted later.
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
    return true;
}

void DialogWindow::StopAllTimers() {
    for (auto& [id, timer] : m_timers) {
        timer->stop();
        timer->deleteLater();
    }
    m_timers.clear();
}

// --- icons ---

void DialogWindow::SetIcons(HICON big, HICON small) {
    m_bigIcon = big;
    m_smallIcon = small;
    QIcon icon;
    if (big) {
        icon.addPixmap(QPixmap::fromImage(big->Picture(32)));
    }
    if (small) {
        icon.addPixmap(QPixmap::fromImage(small->Picture(16)));
    }
    setWindowIcon(icon);
}
