// Painting the client area: the panels over the dialog while the window is open, only the
// centred icon while it is minimised; a tick repaints only what its drawing changed.
#include "DialogWindow.h"
#include "IconResource.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QImage>
#include <QScreen>

#include <map>

using namespace corvaline::testsupport;

namespace {

// Pixels of `image` inside `area` that differ from `background`.
int Painted(const QImage& image, const QRect& area, QRgb background) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixel(x, y) != background;
        }
    }
    return count;
}

// Paint events of the window, of its group boxes and of its children that are none of its
// controls (those show what the program draws).
struct PaintCount : QObject {
    int window = 0, frames = 0, drawing = 0;
    QWidget* top = nullptr;
    explicit PaintCount(QWidget* w) : top(w) {
        w->installEventFilter(this);
        for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            child->installEventFilter(this);
        }
    }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (object == top) {
                ++window;
            } else if (qobject_cast<QGroupBox*>(object)) {
                ++frames;
            } else if (object->objectName().isEmpty()) {
                ++drawing;
            }
        }
        return false;
    }
};

} // namespace

TEST_F(WindowTest, TicksRepaintOnlyWhatTheirDrawingChanged) {
    // The window painted, then the start-up sweep over: both needles and lamps at rest and
    // the spectrum empty.
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
    Tick(40);
    QApplication::processEvents();
    PaintCount paints(Dlg().GetSafeHwnd());
    Tick(10);
    QApplication::processEvents();
    EXPECT_EQ(paints.window + paints.frames + paints.drawing, 0);

    // Drawing that changes a panel's pixels goes to the screen as it is drawn, at its place
    // in the window, without repainting the panel or anything beneath it.
    {
        CClientDC dc(&Dlg());
        dc.FillSolidRect(40, 240, 10, 10, RGB(255, 0, 0));
    }
    QApplication::processEvents();
    EXPECT_EQ(paints.window + paints.frames + paints.drawing, 0);
    QWidget* window = Dlg().GetSafeHwnd();
    const QImage screen = window->screen()->grabWindow(window->winId()).toImage();
    const QPoint origin = window->mapTo(window->window(), QPoint(0, 0));
    EXPECT_EQ(screen.pixel(origin + QPoint(40, 240)), qRgb(255, 0, 0));
    EXPECT_EQ(screen.pixel(origin + QPoint(49, 249)), qRgb(255, 0, 0));
    EXPECT_NE(screen.pixel(origin + QPoint(50, 250)), qRgb(255, 0, 0));

    // A control moved over the panel afterwards stays over what is drawn beneath it.
    QWidget* button = Dlg().GetDlgItem(IDC_TOCAR_1)->GetSafeHwnd();
    button->move(30, 230);
    QApplication::processEvents();
    {
        CClientDC dc(&Dlg());
        dc.FillSolidRect(40, 240, 10, 10, RGB(0, 0, 255));
    }
    QApplication::processEvents();
    const QImage covered = window->screen()->grabWindow(window->winId()).toImage();
    EXPECT_NE(covered.pixel(origin + QPoint(45, 245)), qRgb(0, 0, 255));
}

TEST_F(WindowTest, MinimisedPaintShowsOnlyTheCentredIcon) {
    const QImage& surface = Dlg().GetDialogWindow()->Surface();
    // Both panels lie in this band, left of the list box.
    const QRect panels(20, 225, 440, 250);

    Dlg().ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(Dlg().IsIconic());
    Dlg().SendMessage(WM_PAINT);
    const QRgb background = surface.pixel(0, 0);
    // A client area of 806 x 531 pixels and an icon of 32.
    const QRect icon(387, 250, 32, 32);
    const QImage picture = AfxFindIcon(128)->Picture(32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (qAlpha(picture.pixel(x, y)) == 255) {
                ASSERT_EQ(surface.pixel(icon.x() + x, icon.y() + y), picture.pixel(x, y))
                    << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(Painted(surface, surface.rect(), background), Painted(surface, icon, background));

    Dlg().ShowWindow(SW_RESTORE);
    ASSERT_FALSE(Dlg().IsIconic());
    Dlg().SendMessage(WM_PAINT);
    EXPECT_GT(Painted(surface, panels, background), 1000);
}
