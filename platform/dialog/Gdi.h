#pragma once

// Drawing on a dialog's client area. The client area keeps its pixels in an image under
// the controls; a CClientDC paints into that image and asks for the changed area to be
// shown when it goes out of scope. Pens and brushes are plain values: a surface copies
// what it needs when one is selected, so releasing a selected pen or brush is harmless.

#include "AfxTypes.h"

#include <vector>

class CWnd;
class CDialog;

class CPen {
  public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);

    int m_style = PS_SOLID;
    int m_width = 1;
    COLORREF m_color = RGB(0, 0, 0);
};

class CBrush {
  public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    BOOL CreateSolidBrush(COLORREF crColor);

    COLORREF m_color = RGB(255, 255, 255);
};

class CDC {
  public:
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Returns the previously selected pen or brush (at first, the surface's black pen and
    // white brush), to be selected again when the caller is done.
    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);

    CPoint MoveTo(int x, int y);
    CPoint MoveTo(CPoint point) { return MoveTo(point.x, point.y); }
    // From the current position up to, but not including, (x, y); (x, y) becomes current.
    BOOL LineTo(int x, int y);
    BOOL LineTo(CPoint point) { return LineTo(point.x, point.y); }
    // nCount polylines, lpPolyPoints[i] points each, one after the other in lpPoints; each
    // line as LineTo draws it. The current position is neither used nor moved.
    BOOL PolyPolyline(const CPoint* lpPoints, const DWORD* lpPolyPoints, int nCount);

    // Columns left..right-1, rows top..bottom-1, in the brush's colour, no outline.
    void FillRect(const CRect* lpRect, CBrush* pBrush);
    void FillSolidRect(const CRect* lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    // Filled with the current brush, outlined with the current pen along its outermost
    // pixels.
    BOOL Rectangle(int x1, int y1, int x2, int y2);
    BOOL Rectangle(const CRect* lpRect);
    // One-pixel frame: top row and left column in clrTopLeft, right column and bottom row
    // in clrBottomRight.
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight);
    void Draw3dRect(const CRect* lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight);
    BOOL DrawIcon(int x, int y, HICON hIcon);

    COLORREF GetPixel(int x, int y) const;
    COLORREF SetPixel(int x, int y, COLORREF crColor);

    // Identifies the surface in messages such as WM_ICONERASEBKGND.
    void* GetSafeHdc() const;

  protected:
    explicit CDC(CWnd* pWnd);

  private:
    // Notes an area that a primitive drew over and the part of it whose pixels it changed.
    void Touch(const CRect& touched, const CRect& changed);
    void FillPixels(int left, int top, int right, int bottom, COLORREF clr);

    const CDialog* m_pDialog;
    CPen m_defaultPen;
    CBrush m_defaultBrush;
    CPen* m_pSelectedPen;
    CBrush* m_pSelectedBrush;
    CPen m_pen;
    CBrush m_brush;
    CPoint m_current;
    // Areas whose pixels changed, to be shown again when the surface goes out of scope.
    std::vector<CRect> m_dirty;
};

// The client area of a dialog; on anything else it draws nothing.
class CClientDC : public CDC {
  public:
    explicit CClientDC(CWnd* pWnd) : CDC(pWnd) {}
};

// Painting from OnPaint uses the same client-area surface.
class CPaintDC : public CDC {
  public:
    explicit CPaintDC(CWnd* pWnd) : CDC(pWnd) {}
};

int GetSystemMetrics(int nIndex);
COLORREF GetSysColor(int nIndex);
