#include "DialogWindow.h"
#include "TestDialog.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace testdlg;

namespace {

constexpr COLORREF kRed = RGB(255, 50, 50);
constexpr COLORREF kFill = RGB(20, 40, 20);

struct Drawing : ::testing::Test {
    TestDialog dlg;
    COLORREF background = 0;
    void SetUp() override {
        dlg.Create();
        QTest::qWait(10);
        background = CClientDC(&dlg).GetPixel(400, 200);
    }
    void TearDown() override { dlg.DestroyWindow(); }
};

} // namespace

TEST_F(Drawing, LinesLeaveOutTheirEndPoint) {
    CClientDC dc(&dlg);
    CPen pen(PS_SOLID, 1, kRed);
    CPen* old = dc.SelectObject(&pen);
    dc.MoveTo(10, 150);
    dc.LineTo(20, 150);
    EXPECT_EQ(dc.GetPixel(10, 150), kRed);
    EXPECT_EQ(dc.GetPixel(19, 150), kRed);
    EXPECT_EQ(dc.GetPixel(20, 150), background);
    // The end point is the next start: a polyline has no gaps and no double pixels.
    dc.LineTo(20, 160);
    EXPECT_EQ(dc.GetPixel(20, 150), kRed);
    EXPECT_EQ(dc.GetPixel(20, 159), kRed);
    EXPECT_EQ(dc.GetPixel(20, 160), background);
    // Diagonal, drawn backwards.
    dc.MoveTo(45, 165);
    dc.LineTo(40, 160);
    EXPECT_EQ(dc.GetPixel(45, 165), kRed);
    EXPECT_EQ(dc.GetPixel(41, 161), kRed);
    EXPECT_EQ(dc.GetPixel(40, 160), background);
    // A zero-length line draws nothing.
    dc.MoveTo(60, 150);
    dc.LineTo(60, 150);
    EXPECT_EQ(dc.GetPixel(60, 150), background);

    // The previous pen comes back: the surface's own black pen.
    EXPECT_EQ(dc.SelectObject(old), &pen);
    dc.MoveTo(70, 150);
    dc.LineTo(72, 150);
    EXPECT_EQ(dc.GetPixel(70, 150), RGB(0, 0, 0));

    // Polylines many at once, each line as LineTo draws it; the current position stays.
    const CPoint points[] = {CPoint(80, 150), CPoint(85, 150), CPoint(85, 155), CPoint(90, 160),
                             CPoint(95, 165)};
    const DWORD counts[] = {3, 2};
    dc.MoveTo(100, 150);
    dc.PolyPolyline(points, counts, 2);
    dc.LineTo(102, 150);
    EXPECT_EQ(dc.GetPixel(85, 150), RGB(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(85, 154), RGB(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(85, 155), background);
    EXPECT_EQ(dc.GetPixel(94, 164), RGB(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(95, 165), background);
    EXPECT_EQ(dc.GetPixel(100, 150), RGB(0, 0, 0));
}

TEST_F(Drawing, RectanglesAndThreeDimensionalBorders) {
    CClientDC dc(&dlg);
    {
        // Released while still selected: the surface keeps what it copied.
        CBrush brush(kFill);
        dc.SelectObject(&brush);
    }
    dc.Rectangle(100, 150, 110, 156);
    EXPECT_EQ(dc.GetPixel(100, 150), RGB(0, 0, 0)); // outline, black by default
    EXPECT_EQ(dc.GetPixel(109, 155), RGB(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(101, 151), kFill);
    EXPECT_EQ(dc.GetPixel(108, 154), kFill);
    EXPECT_EQ(dc.GetPixel(110, 150), background);
    EXPECT_EQ(dc.GetPixel(100, 156), background);

    CBrush white(RGB(255, 255, 255));
    CRect area(120, 150, 124, 153);
    dc.FillRect(&area, &white);
    EXPECT_EQ(dc.GetPixel(123, 152), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetPixel(124, 152), background);

    const COLORREF first = RGB(255, 255, 30), second = RGB(150, 150, 50);
    dc.Draw3dRect(130, 150, 10, 8, first, second);
    EXPECT_EQ(dc.GetPixel(130, 150), first);
    EXPECT_EQ(dc.GetPixel(138, 150), first);  // top row to x+w-2
    EXPECT_EQ(dc.GetPixel(139, 150), second); // right column from the top
    EXPECT_EQ(dc.GetPixel(130, 156), first);  // left column to y+h-2
    EXPECT_EQ(dc.GetPixel(130, 157), second); // bottom row from the left
    EXPECT_EQ(dc.GetPixel(139, 157), second);
    EXPECT_EQ(dc.GetPixel(131, 151), background);
    EXPECT_EQ(dc.GetPixel(140, 150), background);
}

// A wide line covers exactly what Qt's painter covers at the same place, in every direction.
TEST_F(Drawing, WideLinesCoverWhatThePainterCovers) {
    QImage& surface = dlg.GetDialogWindow()->Surface();
    ASSERT_EQ(surface.devicePixelRatio(), 1.0);
    const QRect box(100, 15, 200, 180);
    const QPoint from(200, 105);
    ASSERT_TRUE(surface.rect().contains(box));
    CPen wide(PS_SOLID, 2, kRed);
    for (int degrees = -180; degrees < 180; degrees += 3) {
        const double radians = degrees * M_PI / 180.0;
        const QPoint to = from + QPoint(static_cast<int>(std::lround(87 * std::sin(radians))),
                                        static_cast<int>(std::lround(-75 * std::cos(radians))));
        CClientDC dc(&dlg);
        dc.FillSolidRect(box.x(), box.y(), box.width(), box.height(), kFill);
        QImage expected = surface.copy();
        {
            QPainter painter(&expected);
            painter.setPen(
                QPen(QColor(qRgb(255, 50, 50)), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawLine(from, to);
        }
        CPen* old = dc.SelectObject(&wide);
        dc.MoveTo(from.x(), from.y());
        dc.LineTo(to.x(), to.y());
        dc.SelectObject(old);
        int differing = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                differing += surface.pixel(x, y) != expected.pixel(x, y);
            }
        }
        ASSERT_EQ(differing, 0) << degrees << " degrees";
    }
}

TEST_F(Drawing, WidePenEraserCoversTheLineItDrewOver) {
    CClientDC dc(&dlg);
    CPen needle(PS_SOLID, 2, kRed);
    CPen eraser(PS_SOLID, 2, kFill);
    CPen* old = dc.SelectObject(&needle);
    dc.MoveTo(200, 190);
    dc.LineTo(230, 150);
    dc.SelectObject(&eraser);
    dc.MoveTo(200, 190);
    dc.LineTo(230, 150);
    dc.SelectObject(old);
    int red = 0, fill = 0;
    for (int y = 145; y < 195; ++y) {
        for (int x = 195; x < 235; ++x) {
            red += dc.GetPixel(x, y) == kRed;
            fill += dc.GetPixel(x, y) == kFill;
        }
    }
    EXPECT_EQ(red, 0);
    EXPECT_GT(fill, 60);
}

// Calls found to change nothing are not looked at again, and a large fill made again looks
// only at what was drawn over it; whatever else draws over their pixels, a wide pen, a fill,
// a slanted or an upright line, lines drawn many at once or the window's paint, makes them
// draw again.
TEST_F(Drawing, RepeatedCallsDrawAgainOnceSomethingElseDrewOverThem) {
    CPen red(PS_SOLID, 1, kRed);
    CPen wide(PS_SOLID, 2, kFill);
    CPen thin(PS_SOLID, 1, kFill);
    const auto drawRed = [&](CDC& dc) {
        CPen* old = dc.SelectObject(&red);
        dc.MoveTo(100, 150);
        dc.LineTo(100, 170);
        dc.FillSolidRect(110, 150, 5, 5, kRed);
        dc.FillSolidRect(130, 150, 40, 30, kRed);
        dc.SelectObject(old);
    };
    const auto overDrawn = [](CDC& dc) {
        bool any = dc.GetPixel(100, 152) != kRed || dc.GetPixel(112, 152) != kRed;
        for (int y = 150; y < 180; ++y) {
            for (int x = 130; x < 170; ++x) {
                any = any || dc.GetPixel(x, y) != kRed;
            }
        }
        return any;
    };
    const auto line = [&](CDC& dc, CPen& pen, CPoint from, CPoint to) {
        CPen* old = dc.SelectObject(&pen);
        dc.MoveTo(from.x, from.y);
        dc.LineTo(to.x, to.y);
        dc.SelectObject(old);
    };
    for (int way = 0; way < 6; ++way) {
        {
            CClientDC dc(&dlg);
            drawRed(dc);
            drawRed(dc);
            if (way == 0) {
                line(dc, wide, CPoint(95, 152), CPoint(175, 152));
            } else if (way == 1) {
                dc.FillSolidRect(95, 151, 80, 2, kFill);
            } else if (way == 3) {
                line(dc, thin, CPoint(125, 145), CPoint(175, 160));
            } else if (way == 4) {
                line(dc, thin, CPoint(150, 145), CPoint(150, 185));
            } else if (way == 5) {
                CPen* old = dc.SelectObject(&thin);
                const CPoint points[] = {CPoint(140, 185), CPoint(140, 145), CPoint(160, 175)};
                const DWORD counts[] = {3};
                dc.PolyPolyline(points, counts, 1);
                dc.SelectObject(old);
            }
        }
        if (way == 2) {
            dlg.Invalidate();
            dlg.UpdateWindow();
        }
        CClientDC dc(&dlg);
        ASSERT_TRUE(overDrawn(dc)) << way;
        drawRed(dc);
        EXPECT_FALSE(overDrawn(dc)) << way;
    }
}

TEST_F(Drawing, SurfaceShowsUnderTheControlsUntilTheWindowIsPaintedAgain) {
    {
        CClientDC dc(&dlg);
        dc.FillSolidRect(400, 195, 10, 10, kRed);
    }
    // Controls repainting over the surface do not make the window paint itself again,
    // which would wipe what the program drew between its paints.
    const std::size_t paintsBefore = dlg.paintedIconic.size();
    dlg.m_progress.SetPos(50);
    dlg.SetDlgItemText(kText, "changed");
    QTest::qWait(20);
    EXPECT_EQ(dlg.paintedIconic.size(), paintsBefore);
    const QImage shown = dlg.GetSafeHwnd()->grab().toImage();
    EXPECT_EQ(shown.pixel(405, 200), qRgb(255, 50, 50));

    // Invalidating asks for WM_PAINT; the default painting starts from the background.
    const std::size_t paints = dlg.paintedIconic.size();
    dlg.Invalidate();
    dlg.UpdateWindow();
    EXPECT_EQ(dlg.paintedIconic.size(), paints + 1);
    EXPECT_EQ(CClientDC(&dlg).GetPixel(405, 200), background);
}

TEST_F(Drawing, IconsBigAndSmall) {
    const HICON icon = AfxFindIcon(kIcon);
    ASSERT_NE(icon, nullptr);
    dlg.SetIcon(icon, TRUE);
    dlg.SetIcon(icon, FALSE);
    EXPECT_EQ(dlg.GetIcon(TRUE), icon);
    const QIcon windowIcon = dlg.GetSafeHwnd()->windowIcon();
    const auto sizes = windowIcon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_EQ(windowIcon.pixmap(16, 16).toImage().pixel(3, 3), qRgb(255, 0, 0));
    EXPECT_EQ(windowIcon.pixmap(32, 32).toImage().pixel(3, 3), qRgb(10, 20, 30));

    CClientDC dc(&dlg);
    dc.DrawIcon(300, 150, icon);
    EXPECT_EQ(dc.GetPixel(300, 150), RGB(10, 20, 30));
    EXPECT_EQ(dc.GetPixel(331, 181), RGB(10, 20, 30));
    EXPECT_EQ(dc.GetPixel(332, 182), background);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
}
