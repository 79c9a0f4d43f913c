#include "DropFiles.h"

#include "Dialog.h"
#include "DialogWindow.h"
#include "Wnd.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {

bool HoldsLocalFiles(const QMimeData* data) {
    if (!data || !data->hasUrls()) {
        return false;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}

// The files are only read: a drop is taken as a copy, or as a link, never as a move, after
// which a file manager would delete what it dragged.
Qt::DropAction TakenAs(const QDropEvent* drop) {
    if (!HoldsLocalFiles(drop->mimeData())) {
        return Qt::IgnoreAction;
    }
    if (drop->possibleActions() & Qt::CopyAction) {
        return Qt::CopyAction;
    }
    if (drop->possibleActions() & Qt::LinkAction) {
        return Qt::LinkAction;
    }
    return Qt::IgnoreAction;
}

// Watches the widget that receives a control's drag events (a list's viewport, say).
class DropTarget final : public QObject {
  public:
    DropTarget(QWidget* receiver, DialogWindow* window) : QObject(receiver), m_window(window) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            const Qt::DropAction action = TakenAs(drag);
            if (action == Qt::IgnoreAction) {
                return QObject::eventFilter(watched, event);
            }
            drag->setDropAction(action);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const Qt::DropAction action = TakenAs(drop);
            if (action == Qt::IgnoreAction) {
                return QObject::eventFilter(watched, event);
            }
            DroppedFiles files;
            for (const QUrl& url : drop->mimeData()->urls()) {
                if (url.isLocalFile()) {
                    files.paths.push_back(QDir::cleanPath(url.toLocalFile()).toStdString());
                }
            }
            drop->setDropAction(action);
            drop->accept();
            QTimer::singleShot(0, m_window, [window = m_window, files = std::move(files)] {
                if (window) {
                    window->Owner().SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(&files));
                }
            });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

  private:
    QPointer<DialogWindow> m_window;
};

} // namespace

UINT DragQueryFile(HDROP hDrop, UINT iFile, std::string& path) {
    const std::size_t count = hDrop ? hDrop->paths.size() : 0;
    if (iFile == 0xFFFFFFFF) {
        return static_cast<UINT>(count);
    }
    if (iFile >= count) {
        path.clear();
        return 0;
    }
    path = hDrop->paths[iFile];
    return static_cast<UINT>(path.size());
}

void CWnd::DragAcceptFiles(BOOL bAccept) {
    QWidget* widget = GetSafeHwnd();
    auto* window = widget ? dynamic_cast<DialogWindow*>(widget->window()) : nullptr;
    if (!window) {
        return;
    }
    // A scrolling control gets its drag events on the viewport it shows its content in.
    auto* area = qobject_cast<QAbstractScrollArea*>(widget);
    QWidget* receiver = area ? area->viewport() : widget;
    if (auto* old = receiver->findChild<DropTarget*>(QString(), Qt::FindDirectChildrenOnly)) {
        receiver->removeEventFilter(old);
        delete old;
    }
    widget->setAcceptDrops(bAccept != FALSE);
    receiver->setAcceptDrops(bAccept != FALSE);
    if (bAccept) {
        receiver->installEventFilter(new DropTarget(receiver, window));
    }
}
