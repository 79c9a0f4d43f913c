#include "Gdi.h"

#include "Dialog.h"
#include "DialogWindow.h"
#include "IconResource.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
    m_style = nPenStyle;
    m_width = std::max(1, nWidth);
    m_color = crColor;
    return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
    m_color = crColor;
    return TRUE;
}

namespace {

DialogWindow* WindowOf(const CDialog* dialog) {
    return dialog ? dialog->GetDialogWindow() : nullptr;
}

QImage* SurfaceOf(const CDialog* dialog) {
    DialogWindow* window = WindowOf(dialog);
    return window ? &window->Surface() : nullptr;
}

// The surface holds device pixels; drawing comes in logical pixels. A logical pixel covers
// the device pixels from its own edge to the next one's, so neighbouring shapes share their
// edges and nothing is smeared across a boundary at any ratio.
int DeviceEdge(qreal ratio, int logical) {
    return ratio == 1.0 ? logical : qRound(logical * ratio);
}

bool Inside(const QImage& image, int x, int y) {
    const qreal ratio = image.devicePixelRatio();
    return x >= 0 && y >= 0 && DeviceEdge(ratio, x) < image.width() &&
           DeviceEdge(ratio, y) < image.height();
}

// The first of pixels from..to-1 not of colour, or to. Most fills land on pixels that are
// already theirs, so the comparison goes eight at a time, which the compiler does in
// vector registers; an early exit per pixel would keep it to one.
int SameFrom(const QRgb* row, int from, int to, QRgb colour) {
    constexpr int kBlock = 8;
    for (; from + kBlock <= to; from += kBlock) {
        QRgb differs = 0;
        for (int k = 0; k < kBlock; ++k) {
            differs |= row[from + k] ^ colour;
        }
        if (differs != 0) {
            break;
        }
    }
    while (from < to && row[from] == colour) {
        ++from;
    }
    return from;
}

// The pixels of a shape around its origin, as runs along its rows from the top; how many
// there are, and their bounds.
struct LineShape {
    // Columns left..right-1 of row y.
    struct Run {
        int y, left, right;
    };
    std::vector<Run> runs;
    int pixels = 0;
    QRect bounds;
};

// The surface's pixels for one drawing operation. A fill writes only the pixels that differ
// from its colour and keeps the bounds of those, in logical pixels, so that drawing over
// what is already there asks for nothing to be shown again.
class Pixels {
  public:
    Pixels(QImage& image, KnownFills& fills)
        : m_bits(reinterpret_cast<QRgb*>(image.bits())),
          m_stride(image.bytesPerLine() / static_cast<int>(sizeof(QRgb))), m_width(image.width()),
          m_height(image.height()), m_ratio(image.devicePixelRatio()), m_fills(fills) {}

    // Tells the known fills what this operation wrote, and what it filled.
    void Settle() {
        Take();
        if (m_written.left < m_written.right) {
            m_fills.Written(QRect(m_written.left, m_written.top, m_written.right - m_written.left,
                                  m_written.bottom - m_written.top));
        }
        // Anything written after the fill may lie inside it.
        if (!m_filled.isEmpty() && m_writes == 1) {
            m_fills.Note(m_filled, m_filledColour);
        }
    }

    void Fill(int left, int top, int right, int bottom, QRgb colour) {
        ++m_writes;
        const int dl = std::max(DeviceEdge(m_ratio, left), 0);
        const int dt = std::max(DeviceEdge(m_ratio, top), 0);
        const int dr = std::min(DeviceEdge(m_ratio, right), m_width);
        const int db = std::min(DeviceEdge(m_ratio, bottom), m_height);
        if (dt >= db) {
            return;
        }
        // A fill one device pixel wide, a vertical line, goes straight down its column.
        if (dr - dl == 1 && db - dt > 1) {
            FillColumn(dl, dt, db, colour);
            return;
        }
        // Only a large fill is worth remembering; made again, it looks only at what was
        // written over it since. A smaller one, a pixel of a line at a high ratio say, is not
        // even looked up.
        const QRect area(dl, dt, dr - dl, db - dt);
        constexpr int kRememberedPixels = 1024;
        QRect stale = area;
        if (area.width() * area.height() >= kRememberedPixels) {
            stale = m_fills.Stale(area, colour);
            m_filled = area;
            m_filledColour = colour;
        }
        if (stale.isEmpty()) {
            return;
        }
        const int sl = stale.left(), sr = stale.right() + 1;
        for (int y = stale.top(); y <= stale.bottom(); ++y) {
            QRgb* row = m_bits + static_cast<std::ptrdiff_t>(y) * m_stride;
            int first = SameFrom(row, sl, sr, colour);
            if (first == sr) {
                continue;
            }
            int last = sr;
            while (row[last - 1] == colour) {
                --last;
            }
            std::fill(row + first, row + last, colour);
            m_left = std::min(m_left, first);
            m_right = std::max(m_right, last);
            m_top = std::min(m_top, y);
            m_bottom = std::max(m_bottom, y + 1);
        }
    }

    // One logical pixel: the pixels of slanted and wide lines, hundreds to a needle, which
    // at ratio 1 are each a single device pixel, read and written in place.
    void Point(int x, int y, QRgb colour) {
        ++m_writes;
        if (m_ratio != 1.0) {
            Fill(x, y, x + 1, y + 1, colour);
            return;
        }
        if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
            return;
        }
        QRgb& pixel = m_bits[static_cast<std::ptrdiff_t>(y) * m_stride + x];
        if (pixel == colour) {
            return;
        }
        pixel = colour;
        m_left = std::min(m_left, x);
        m_right = std::max(m_right, x + 1);
        m_top = std::min(m_top, y);
        m_bottom = std::max(m_bottom, y + 1);
    }

    // A shape's pixels, at (x, y): a wide line's hundreds at ratio 1, each a single device
    // pixel. One that lies wholly on the surface is clipped once rather than pixel by pixel.
    void Shape(int x, int y, const LineShape& shape, QRgb colour) {
        if (m_ratio != 1.0 ||
            !QRect(0, 0, m_width, m_height).contains(shape.bounds.translated(x, y))) {
            for (const LineShape::Run& run : shape.runs) {
                for (int px = run.left; px < run.right; ++px) {
                    Point(x + px, y + run.y, colour);
                }
            }
            return;
        }
        m_writes += shape.pixels;
        // A needle's rows are rarely in the cache by the next tick: asked for all at once,
        // they arrive together rather than one after the other as the loop reaches them.
        for (const LineShape::Run& run : shape.runs) {
            __builtin_prefetch(
                &m_bits[static_cast<std::ptrdiff_t>(y + run.y) * m_stride + x + run.left]);
        }
        int left = m_left, right = m_right, top = -1, bottom = 0;
        for (const LineShape::Run& run : shape.runs) {
            QRgb* const row = m_bits + static_cast<std::ptrdiff_t>(y + run.y) * m_stride + x;
            bool changed = false;
            for (int px = run.left; px < run.right; ++px) {
                if (row[px] != colour) {
                    row[px] = colour;
                    left = std::min(left, x + px);
                    right = std::max(right, x + px + 1);
                    changed = true;
                }
            }
            if (changed) {
                // The rows come in order.
                top = top < 0 ? y + run.y : top;
                bottom = y + run.y + 1;
            }
        }
        if (top >= 0) {
            m_left = left;
            m_right = right;
            m_top = std::min(m_top, top);
            m_bottom = std::max(m_bottom, bottom);
        }
    }

    // Down one device column, the rows that differ from the colour written.
    void FillColumn(int x, int top, int bottom, QRgb colour) {
        ++m_writes;
        int first = bottom, last = top;
        for (int y = top; y < bottom; ++y) {
            QRgb& pixel = m_bits[static_cast<std::ptrdiff_t>(y) * m_stride + x];
            if (pixel != colour) {
                pixel = colour;
                first = std::min(first, y);
                last = y + 1;
            }
        }
        if (first < last) {
            m_left = std::min(m_left, x);
            m_right = std::max(m_right, x + 1);
            m_top = std::min(m_top, first);
            m_bottom = std::max(m_bottom, last);
        }
    }

    // What the fills changed since the last call, widened to whole logical pixels; empty
    // when nothing changed.
    CRect TakeChanged() {
        const CRect changed = Changed();
        Take();
        return changed;
    }

  private:
    CRect Changed() const {
        if (m_right <= m_left) {
            return CRect(0, 0, 0, 0);
        }
        if (m_ratio == 1.0) {
            return CRect(m_left, m_top, m_right, m_bottom);
        }
        const auto down = [this](int device) {
            return static_cast<int>(std::floor(device / m_ratio));
        };
        const auto up = [this](int device) {
            return static_cast<int>(std::ceil(device / m_ratio));
        };
        return CRect(down(m_left), down(m_top), up(m_right), up(m_bottom));
    }

    // Moves the pixels changed so far into what the operation wrote as a whole.
    void Take() {
        if (m_left < m_right) {
            m_written.left = std::min(m_written.left, m_left);
            m_written.top = std::min(m_written.top, m_top);
            m_written.right = std::max(m_written.right, m_right);
            m_written.bottom = std::max(m_written.bottom, m_bottom);
        }
        m_left = m_top = std::numeric_limits<int>::max();
        m_right = m_bottom = 0;
    }

    QRgb* m_bits;
    int m_stride;
    int m_width;
    int m_height;
    qreal m_ratio;
    KnownFills& m_fills;
    // A large area this operation filled, and its colour; how many fills and points it made.
    QRect m_filled;
    QRgb m_filledColour = 0;
    int m_writes = 0;
    // Device pixels changed since the last take: columns m_left..m_right-1, rows
    // m_top..m_bottom-1; and the bounds of those taken before.
    int m_left = std::numeric_limits<int>::max();
    int m_top = std::numeric_limits<int>::max();
    int m_right = 0;
    int m_bottom = 0;
    CRect m_written{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), 0, 0};
};

// A one-pixel line from one point up to, but not including, the other, as GDI draws it.
void ThinLine(Pixels& pixels, CPoint from, CPoint to, QRgb colour) {
    if (from.x == to.x || from.y == to.y) {
        // A straight run is one span.
        pixels.Fill(from.x < to.x ? from.x : (from.x == to.x ? to.x : to.x + 1),
                    from.y < to.y ? from.y : (from.y == to.y ? to.y : to.y + 1),
                    from.x < to.x ? to.x : from.x + 1, from.y < to.y ? to.y : from.y + 1, colour);
        return;
    }
    // Bresenham.
    const int dx = std::abs(to.x - from.x), sx = from.x < to.x ? 1 : -1;
    const int dy = -std::abs(to.y - from.y), sy = from.y < to.y ? 1 : -1;
    int err = dx + dy;
    int px = from.x, py = from.y;
    while (px != to.x || py != to.y) {
        pixels.Point(px, py, colour);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            px += sx;
        }
        if (e2 <= dx) {
            err += dx;
            py += sy;
        }
    }
}

// The area a line between two points may draw over, its end point included.
CRect LineBounds(CPoint from, CPoint to) {
    return CRect(std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1,
                 std::max(from.y, to.y) + 1);
}

QPen WidePen(QRgb colour, int width) {
    return QPen(QColor(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The pixels of a wide line as Qt's painter draws it, relative to its start point. Without
// antialiasing a shape moved by whole device pixels covers the same pixels moved, so each
// shape (a needle at one angle, say) is drawn by the painter once, and then written pixel by
// pixel where it goes, only where the surface differs.
const LineShape& WideLineShape(int dx, int dy, int width) {
    static std::map<std::tuple<int, int, int>, LineShape> shapes;
    const auto key = std::make_tuple(dx, dy, width);
    if (const auto found = shapes.find(key); found != shapes.end()) {
        return found->second;
    }
    // Lines of ever new shapes are not kept for ever.
    constexpr std::size_t kMostShapes = 1024;
    if (shapes.size() >= kMostShapes) {
        shapes.clear();
    }
    const int margin = width + 2;
    const QPoint start(margin + std::max(0, -dx), margin + std::max(0, -dy));
    QImage scratch(std::abs(dx) + 2 * margin + 1, std::abs(dy) + 2 * margin + 1,
                   QImage::Format_RGB32);
    scratch.fill(Qt::black);
    {
        QPainter painter(&scratch);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(WidePen(qRgb(255, 255, 255), width));
        painter.drawLine(start, start + QPoint(dx, dy));
    }
    LineShape& shape = shapes[key];
    for (int y = 0; y < scratch.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        for (int x = 0; x < scratch.width();) {
            if (row[x] == qRgb(0, 0, 0)) {
                ++x;
                continue;
            }
            const int left = x;
            while (x < scratch.width() && row[x] != qRgb(0, 0, 0)) {
                ++x;
            }
            shape.runs.push_back(LineShape::Run{y - start.y(), left - start.x(), x - start.x()});
            shape.pixels += x - left;
            shape.bounds |= QRect(left - start.x(), y - start.y(), x - left, 1);
        }
    }
    return shape;
}

// Whether two areas overlap or adjoin, and the smallest area holding both.
bool Touching(const CRect& a, const CRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

CRect Bounds(const CRect& a, const CRect& b) {
    return CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom));
}

enum CallKind { kLineCall, kWideLineCall, kFillCall };

// Runs a drawing call on the window's surface unless the same call is known to change
// nothing there; returns the area whose pixels it changed.
template <typename Draw>
CRect DrawOnce(DialogWindow& window, const UnchangedDrawing::Call& call, Draw&& draw) {
    UnchangedDrawing& unchanged = window.Unchanged();
    if (unchanged.Known(call)) {
        return CRect(0, 0, 0, 0);
    }
    Pixels pixels(window.WritableSurface(), window.Fills());
    draw(pixels);
    const CRect changed = pixels.TakeChanged();
    pixels.Settle();
    if (changed.IsRectEmpty()) {
        unchanged.Unchanged(call);
    } else {
        unchanged.Forget();
    }
    return changed;
}

} // namespace

CDC::CDC(CWnd* pWnd)
    : m_pDialog(dynamic_cast<const CDialog*>(pWnd)), m_pSelectedPen(&m_defaultPen),
      m_pSelectedBrush(&m_defaultBrush), m_pen(m_defaultPen), m_brush(m_defaultBrush) {
    if (DialogWindow* window = WindowOf(m_pDialog)) {
        m_dirty = window->TakeAreaList();
    }
}

CDC::~CDC() {
    // One request per separate area drawn, however many primitives it took, so that two
    // panels far apart do not ask for everything between them.
    DialogWindow* window = WindowOf(m_pDialog);
    if (!window) {
        return;
    }
    window->EndSurfacePainter();
    window->ShowAreas(m_dirty);
    window->KeepAreaList(std::move(m_dirty));
}

void CDC::Touch(const CRect& touched, const CRect& changed) {
    // Within a paint everything drawn is shown, and the window learns where its drawing is.
    const DialogWindow* window = WindowOf(m_pDialog);
    const CRect& area = window && window->Painting() ? touched : changed;
    if (area.IsRectEmpty()) {
        return;
    }
    // Within a paint, shapes drawn one beside the other grow one area: it only tells the
    // window where its panes go. Between paints the areas are where the window looks for
    // pixels to send to the screen, so two are joined only where their bounds take in no more
    // than the two did: a run of spectrum columns of one height is one area, columns of many
    // heights stay apart.
    if (!m_dirty.empty()) {
        CRect& last = m_dirty.back();
        const CRect bounds = Bounds(area, last);
        const auto size = [](const CRect& r) { return std::int64_t{r.Width()} * r.Height(); };
        if (window && window->Painting() ? Touching(area, last)
                                         : size(bounds) <= size(area) + size(last)) {
            last = bounds;
            return;
        }
    }
    m_dirty.push_back(area);
}

CPen* CDC::SelectObject(CPen* pPen) {
    if (!pPen) {
        return nullptr;
    }
    CPen* previous = m_pSelectedPen;
    m_pSelectedPen = pPen;
    m_pen = *pPen;
    return previous;
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    if (!pBrush) {
        return nullptr;
    }
    CBrush* previous = m_pSelectedBrush;
    m_pSelectedBrush = pBrush;
    m_brush = *pBrush;
    return previous;
}

CPoint CDC::MoveTo(int x, int y) {
    const CPoint previous = m_current;
    m_current = CPoint(x, y);
    return previous;
}

BOOL CDC::LineTo(int x, int y) {
    const CPoint from = m_current;
    m_current = CPoint(x, y);
    DialogWindow* window = WindowOf(m_pDialog);
    if (!window) {
        return FALSE;
    }
    if (m_pen.m_style == PS_NULL) {
        return TRUE;
    }
    const QRgb colour = ToQRgb(m_pen.m_color);
    const CRect touched = LineBounds(from, m_current);
    if (m_pen.m_width <= 1) {
        if (from == m_current) {
            return TRUE;
        }
        const UnchangedDrawing::Call call{kLineCall, 1, from.x, from.y, x, y, colour};
        Touch(touched, DrawOnce(*window, call, [&](Pixels& pixels) {
                  ThinLine(pixels, from, m_current, colour);
              }));
        return TRUE;
    }
    const int margin = m_pen.m_width;
    const CRect wide(touched.left - margin, touched.top - margin, touched.right + margin,
                     touched.bottom + margin);
    if (window->Surface().devicePixelRatio() == 1.0) {
        const LineShape& shape = WideLineShape(x - from.x, y - from.y, m_pen.m_width);
        const UnchangedDrawing::Call call{kWideLineCall, m_pen.m_width, from.x, from.y, x, y,
                                          colour};
        Touch(wide, DrawOnce(*window, call,
                             [&](Pixels& pixels) { pixels.Shape(from.x, from.y, shape, colour); }));
        return TRUE;
    }
    QPainter& painter = window->SurfacePainter();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(WidePen(colour, m_pen.m_width));
    painter.drawLine(QPoint(from.x, from.y), QPoint(x, y));
    Touch(wide, wide);
    return TRUE;
}

BOOL CDC::PolyPolyline(const CPoint* lpPoints, const DWORD* lpPolyPoints, int nCount) {
    DialogWindow* window = WindowOf(m_pDialog);
    if (!window || nCount < 0 || (nCount > 0 && (!lpPoints || !lpPolyPoints))) {
        return FALSE;
    }
    if (m_pen.m_style == PS_NULL) {
        return TRUE;
    }
    if (m_pen.m_width > 1) {
        // Wide lines go one by one; the current position is not this call's to move.
        const CPoint current = m_current;
        const CPoint* points = lpPoints;
        for (int i = 0; i < nCount; ++i) {
            for (DWORD k = 1; k < lpPolyPoints[i]; ++k) {
                MoveTo(points[k - 1]);
                LineTo(points[k]);
            }
            points += lpPolyPoints[i];
        }
        m_current = current;
        return TRUE;
    }
    // Many lines, a spectrum's columns say, in one pass over the surface: what each changed
    // is still noted apart, so that lines far apart are shown apart. Such a pass is not
    // kept among the unchanged calls; any pixel it writes forgets them.
    const QRgb colour = ToQRgb(m_pen.m_color);
    bool wrote = false;
    Pixels pixels(window->WritableSurface(), window->Fills());
    const CPoint* points = lpPoints;
    for (int i = 0; i < nCount; ++i) {
        for (DWORD k = 1; k < lpPolyPoints[i]; ++k) {
            if (points[k - 1] == points[k]) {
                continue;
            }
            ThinLine(pixels, points[k - 1], points[k], colour);
            const CRect changed = pixels.TakeChanged();
            wrote = wrote || !changed.IsRectEmpty();
            Touch(LineBounds(points[k - 1], points[k]), changed);
        }
        points += lpPolyPoints[i];
    }
    pixels.Settle();
    if (wrote) {
        window->Unchanged().Forget();
    }
    return TRUE;
}

void CDC::FillPixels(int left, int top, int right, int bottom, COLORREF clr) {
    DialogWindow* window = WindowOf(m_pDialog);
    if (!window) {
        return;
    }
    const QSize logical = window->Surface().deviceIndependentSize().toSize();
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, logical.width());
    bottom = std::min(bottom, logical.height());
    if (right <= left || bottom <= top) {
        return;
    }
    const QRgb colour = ToQRgb(clr);
    const UnchangedDrawing::Call call{kFillCall, 1, left, top, right, bottom, colour};
    Touch(CRect(left, top, right, bottom), DrawOnce(*window, call, [&](Pixels& pixels) {
              pixels.Fill(left, top, right, bottom, colour);
          }));
}

void CDC::FillRect(const CRect* lpRect, CBrush* pBrush) {
    if (lpRect && pBrush) {
        FillPixels(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom, pBrush->m_color);
    }
}

void CDC::FillSolidRect(const CRect* lpRect, COLORREF clr) {
    if (lpRect) {
        FillPixels(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom, clr);
    }
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    FillPixels(std::min(x, x + cx), std::min(y, y + cy), std::max(x, x + cx), std::max(y, y + cy),
               clr);
}

BOOL CDC::Rectangle(int x1, int y1, int x2, int y2) {
    if (!SurfaceOf(m_pDialog)) {
        return FALSE;
    }
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (m_pen.m_style == PS_NULL) {
        FillPixels(left, top, right, bottom, m_brush.m_color);
    } else {
        // The inside and the outline each once, so that drawing the same rectangle again
        // changes no pixel, not even for a moment.
        const int w = m_pen.m_width;
        FillPixels(left + w, top + w, right - w, bottom - w, m_brush.m_color);
        FillPixels(left, top, right, std::min(top + w, bottom), m_pen.m_color);
        FillPixels(left, std::max(bottom - w, top), right, bottom, m_pen.m_color);
        FillPixels(left, top, std::min(left + w, right), bottom, m_pen.m_color);
        FillPixels(std::max(right - w, left), top, right, bottom, m_pen.m_color);
    }
    return TRUE;
}

BOOL CDC::Rectangle(const CRect* lpRect) {
    return lpRect ? Rectangle(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom) : FALSE;
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    FillPixels(x, y, x + cx - 1, y + 1, clrTopLeft);
    FillPixels(x, y, x + 1, y + cy - 1, clrTopLeft);
    FillPixels(x + cx - 1, y, x + cx, y + cy, clrBottomRight);
    FillPixels(x, y + cy - 1, x + cx, y + cy, clrBottomRight);
}

void CDC::Draw3dRect(const CRect* lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    if (lpRect) {
        Draw3dRect(lpRect->left, lpRect->top, lpRect->Width(), lpRect->Height(), clrTopLeft,
                   clrBottomRight);
    }
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
    QImage* image = SurfaceOf(m_pDialog);
    if (!image || !hIcon) {
        return FALSE;
    }
    const QImage picture = hIcon->Picture(GetSystemMetrics(SM_CXICON));
    WindowOf(m_pDialog)->SurfacePainter().drawImage(x, y, picture);
    const CRect touched(x, y, x + picture.width(), y + picture.height());
    Touch(touched, touched);
    return TRUE;
}

COLORREF CDC::GetPixel(int x, int y) const {
    const QImage* image = SurfaceOf(m_pDialog);
    if (!image || !Inside(*image, x, y)) {
        return 0xffffffffu; // CLR_INVALID
    }
    const qreal ratio = image->devicePixelRatio();
    return FromQRgb(image->pixel(DeviceEdge(ratio, x), DeviceEdge(ratio, y)));
}

COLORREF CDC::SetPixel(int x, int y, COLORREF crColor) {
    QImage* image = SurfaceOf(m_pDialog);
    if (!image || !Inside(*image, x, y)) {
        return 0xffffffffu;
    }
    const QRgb colour = ToQRgb(crColor);
    const UnchangedDrawing::Call call{kFillCall, 1, x, y, x + 1, y + 1, colour};
    Touch(CRect(x, y, x + 1, y + 1), DrawOnce(*WindowOf(m_pDialog), call,
                                              [&](Pixels& pixels) { pixels.Point(x, y, colour); }));
    return crColor;
}

void* CDC::GetSafeHdc() const {
    return SurfaceOf(m_pDialog);
}

void MergeArea(std::vector<CRect>& areas, CRect area) {
    if (area.IsRectEmpty()) {
        return;
    }
    // A merged area may now touch others, so the search starts again after each merge.
    for (auto it = areas.begin(); it != areas.end();) {
        if (Touching(*it, area)) {
            area = Bounds(area, *it);
            areas.erase(it);
            it = areas.begin();
        } else {
            ++it;
        }
    }
    areas.push_back(area);
}

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    default:
        return 0;
    }
}

COLORREF GetSysColor(int nIndex) {
    const QPalette palette = QApplication::instance() ? QApplication::palette() : QPalette();
    switch (nIndex) {
    case COLOR_WINDOW:
        return FromQRgb(palette.color(QPalette::Base).rgb());
    case COLOR_WINDOWTEXT:
        return FromQRgb(palette.color(QPalette::WindowText).rgb());
    default:
        return FromQRgb(palette.color(QPalette::Window).rgb());
    }
}
