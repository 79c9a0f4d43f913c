// Painting the client area: the panels over the dialog while the window is open, only the
// centred icon while it is minimised.
#include "DialogWindow.h"
#include "IconResource.h"
#include "WindowFixture.h"

#include <QImage>

using namespace corvaline::testsupport;

namespace {

// Pixels of `image` inside `area` that differ from `background`.
int Painted(const QImage& image, const QRect& area, QRgb background) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) != background;
    return count;
}

} // namespace

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
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (qAlpha(picture.pixel(x, y)) == 255) {
                ASSERT_EQ(surface.pixel(icon.x() + x, icon.y() + y), picture.pixel(x, y))
                    << x << ", " << y;
            }
    EXPECT_EQ(Painted(surface, surface.rect(), background), Painted(surface, icon, background));

    Dlg().ShowWindow(SW_RESTORE);
    ASSERT_FALSE(Dlg().IsIconic());
    Dlg().SendMessage(WM_PAINT);
    EXPECT_GT(Painted(surface, panels, background), 1000);
}
