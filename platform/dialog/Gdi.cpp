#include "Gdi.h"

#include "Dialog.h"
#include "DialogWindow.h"
#include "IconResource.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cstdlib>

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

QImage* SurfaceOf(const CDialog* dialog) {
    DialogWindow* window = dialog ? dialog->GetDialogWindow() : nullptr;
    return window ? &window->Surface() : nullptr;
}

// The surface holds device pixels; drawing comes in logical pixels. A logical pixel covers
// the device pixels from its own edge to the next one's, so neighbouring shapes share their
// edges and nothing is smeared across a boundary at any ratio.
int DeviceEdge(const QImage& image, int logical) {
    return qRound(logical * image.devicePixelRatio());
}

void FillDevicePixels(QImage& image, int left, int top, int right, int bottom, QRgb colour) {
    left = std::max(DeviceEdge(image, left), 0);
    top = std::max(DeviceEdge(image, top), 0);
    right = std::min(DeviceEdge(image, right), image.width());
    bottom = std::min(DeviceEdge(image, bottom), image.height());
    for (int y = top; y < bottom; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)) + left, right - left, colour);
}

void Plot(QImage& image, int x, int y, QRgb colour) {
    FillDevicePixels(image, x, y, x + 1, y + 1, colour);
}

bool Inside(const QImage& image, int x, int y) {
    return x >= 0 && y >= 0 && DeviceEdge(image, x) < image.width() &&
           DeviceEdge(image, y) < image.height();
}

} // namespace

CDC::CDC(CWnd* pWnd)
    : m_pDialog(dynamic_cast<const CDialog*>(pWnd)), m_pSelectedPen(&m_defaultPen),
      m_pSelectedBrush(&m_defaultBrush), m_pen(m_defaultPen), m_brush(m_defaultBrush),
      m_dirty(0, 0, 0, 0) {}

CDC::~CDC() {
    // One request for everything drawn, however many primitives it took.
    DialogWindow* window = m_pDialog ? m_pDialog->GetDialogWindow() : nullptr;
    if (window && !m_dirty.IsRectEmpty())
        window->ShowArea(QRect(m_dirty.left, m_dirty.top, m_dirty.Width(), m_dirty.Height()));
}

void CDC::Touch(int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top)
        return;
    if (m_dirty.IsRectEmpty()) {
        m_dirty = CRect(left, top, right, bottom);
        return;
    }
    m_dirty.left = std::min(m_dirty.left, left);
    m_dirty.top = std::min(m_dirty.top, top);
    m_dirty.right = std::max(m_dirty.right, right);
    m_dirty.bottom = std::max(m_dirty.bottom, bottom);
}

CPen* CDC::SelectObject(CPen* pPen) {
    if (!pPen)
        return nullptr;
    CPen* previous = m_pSelectedPen;
    m_pSelectedPen = pPen;
    m_pen = *pPen;
    return previous;
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    if (!pBrush)
        return nullptr;
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
    QImage* image = SurfaceOf(m_pDialog);
    if (!image)
        return FALSE;
    if (m_pen.m_style == PS_NULL)
        return TRUE;
    const QRgb colour = ToQRgb(m_pen.m_color);
    if (m_pen.m_width <= 1) {
        // Bresenham, stopping before the end point as GDI does.
        const int dx = std::abs(x - from.x), sx = from.x < x ? 1 : -1;
        const int dy = -std::abs(y - from.y), sy = from.y < y ? 1 : -1;
        int err = dx + dy;
        int px = from.x, py = from.y;
        while (px != x || py != y) {
            Plot(*image, px, py, colour);
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
        Touch(std::min(from.x, x), std::min(from.y, y), std::max(from.x, x) + 1,
              std::max(from.y, y) + 1);
        return TRUE;
    }
    QPainter painter(image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(colour), m_pen.m_width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPoint(from.x, from.y), QPoint(x, y));
    const int margin = m_pen.m_width;
    Touch(std::min(from.x, x) - margin, std::min(from.y, y) - margin,
          std::max(from.x, x) + margin + 1, std::max(from.y, y) + margin + 1);
    return TRUE;
}

void CDC::FillPixels(int left, int top, int right, int bottom, COLORREF clr) {
    QImage* image = SurfaceOf(m_pDialog);
    if (!image)
        return;
    const QSize logical = image->deviceIndependentSize().toSize();
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, logical.width());
    bottom = std::min(bottom, logical.height());
    if (right <= left || bottom <= top)
        return;
    FillDevicePixels(*image, left, top, right, bottom, ToQRgb(clr));
    Touch(left, top, right, bottom);
}

void CDC::FillRect(const CRect* lpRect, CBrush* pBrush) {
    if (lpRect && pBrush)
        FillPixels(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom, pBrush->m_color);
}

void CDC::FillSolidRect(const CRect* lpRect, COLORREF clr) {
    if (lpRect)
        FillPixels(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom, clr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    FillPixels(std::min(x, x + cx), std::min(y, y + cy), std::max(x, x + cx), std::max(y, y + cy),
               clr);
}

BOOL CDC::Rectangle(int x1, int y1, int x2, int y2) {
    if (!SurfaceOf(m_pDialog))
        return FALSE;
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    FillPixels(left, top, right, bottom, m_brush.m_color);
    if (m_pen.m_style != PS_NULL) {
        const int w = m_pen.m_width;
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
    if (lpRect)
        Draw3dRect(lpRect->left, lpRect->top, lpRect->Width(), lpRect->Height(), clrTopLeft,
                   clrBottomRight);
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
    QImage* image = SurfaceOf(m_pDialog);
    if (!image || !hIcon)
        return FALSE;
    const QImage picture = hIcon->Picture(GetSystemMetrics(SM_CXICON));
    QPainter painter(image);
    painter.drawImage(x, y, picture);
    Touch(x, y, x + picture.width(), y + picture.height());
    return TRUE;
}

COLORREF CDC::GetPixel(int x, int y) const {
    const QImage* image = SurfaceOf(m_pDialog);
    if (!image || !Inside(*image, x, y))
        return 0xffffffffu; // CLR_INVALID
    return FromQRgb(image->pixel(DeviceEdge(*image, x), DeviceEdge(*image, y)));
}

COLORREF CDC::SetPixel(int x, int y, COLORREF crColor) {
    QImage* image = SurfaceOf(m_pDialog);
    if (!image || !Inside(*image, x, y))
        return 0xffffffffu;
    Plot(*image, x, y, ToQRgb(crColor));
    Touch(x, y, x + 1, y + 1);
    return crColor;
}

void* CDC::GetSafeHdc() const {
    return SurfaceOf(m_pDialog);
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
