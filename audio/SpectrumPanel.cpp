#include "SpectrumPanel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr COLORREF kBoxFill = RGB(20, 40, 20);
constexpr COLORREF kMeterLight = RGB(255, 255, 30);
constexpr COLORREF kMeterShade = RGB(150, 150, 50);
constexpr COLORREF kSpectrumLight = RGB(100, 255, 100);
constexpr COLORREF kSpectrumShade = RGB(10, 255, 10);
constexpr COLORREF kTick = RGB(200, 200, 200);
constexpr COLORREF kNeedle = RGB(255, 50, 50);
constexpr COLORREF kCoverPlate = RGB(100, 50, 40);
constexpr COLORREF kColumn = RGB(200, 200, 0);
constexpr COLORREF kSpectrumBackground = RGB(20, 40, 100);
constexpr COLORREF kLampLit = RGB(255, 20, 20);
constexpr COLORREF kLampUnlit = RGB(50, 50, 50);
constexpr COLORREF kLampOutline = RGB(30, 30, 30);
constexpr COLORREF kBlack = RGB(0, 0, 0);

constexpr int kColumns = 255;
constexpr int kColumnBase = 98; // row offset of a column's foot
constexpr int kColumnMax = 98;  // tallest column, in pixels
constexpr int kColumnFall = 10; // pixels a held column drops per call
constexpr int kLevelFall = 5;   // meter units the held level drops per call
constexpr int kLampPeriod = 10; // calls for which an overload lamp stays lit

// A pen or brush for the length of one drawing operation: the surface gets its previous one
// back even on an early return. Without a surface there is nothing to select.
template <class Tool> class Scoped {
  public:
    template <class... Args>
    explicit Scoped(CDC* dc, Args... args)
        : m_dc(dc), m_tool(args...), m_previous(dc ? dc->SelectObject(&m_tool) : nullptr) {}
    ~Scoped() {
        if (m_dc) {
            m_dc->SelectObject(m_previous);
        }
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

  private:
    CDC* m_dc;
    Tool m_tool;
    Tool* m_previous;
};

using ScopedPen = Scoped<CPen>;
using ScopedBrush = Scoped<CBrush>;

// A filled rectangle with its own fill and outline, leaving the surface as it found it.
void OutlinedRectangle(CDC& dc, int left, int top, int right, int bottom, COLORREF fill,
                       COLORREF outline) {
    ScopedPen pen(&dc, PS_SOLID, 1, outline);
    ScopedBrush brush(&dc, fill);
    dc.Rectangle(left, top, right, bottom);
}

} // namespace

CSpectrumPanel::CSpectrumPanel()
    : m_needle(0), m_pDC(nullptr), m_x(0), m_y(0), m_spectrumX(0), m_pi(4.0 * std::atan(1.0)),
      m_degToRad(m_pi * (1.0 / 180.0)), m_level(0), m_columnPeak{}, m_scale(50.0f), m_lampCount(0),
      m_spectrumAtRest(false), m_columnsShown(false), m_shownClearTo{}, m_shownTop{} {
    int count = 0;
    for (double a = -50.0; a <= 50.0; a += 10.0) {
        const CPoint inner = PolarToXY(65, 77, a);
        const CPoint outer = PolarToXY(75, 87, a);
        m_marks[count++] = CPoint(inner.x, -inner.y);
        m_marks[count++] = CPoint(outer.x, -outer.y);
    }
    for (int v = kLowestNeedle; v <= 100; ++v) {
        m_tips[v - kLowestNeedle] = PolarToXY(75, 87, v - 50);
    }
}

CSpectrumPanel::~CSpectrumPanel() = default;

void CSpectrumPanel::SetDC(CDC* pDC) {
    m_pDC = pDC;
}

void CSpectrumPanel::Place(int x, int y) {
    m_x = x;
    m_y = y;
    m_spectrumX = x + kSpectrumOffset;
    DrawFrame();
}

void CSpectrumPanel::DrawFrame() {
    if (!m_pDC) {
        return;
    }
    m_spectrumAtRest = false;
    m_columnsShown = false;
    CDC& dc = *m_pDC;
    ScopedPen outline(&dc, PS_SOLID, 1, kBlack);
    ScopedBrush fill(&dc, kBoxFill);
    dc.Draw3dRect(m_x, m_y, kMeterWidth, kBoxHeight, kMeterLight, kMeterShade);
    dc.Rectangle(m_x + 1, m_y + 1, m_x + kMeterWidth - 1, m_y + kBoxHeight - 1);
    dc.Draw3dRect(m_spectrumX, m_y, kSpectrumWidth, kBoxHeight, kSpectrumLight, kSpectrumShade);
    dc.Rectangle(m_spectrumX + 1, m_y + 1, m_spectrumX + kSpectrumWidth - 1, m_y + kBoxHeight - 1);
}

CPoint CSpectrumPanel::PolarToXY(int rx, int ry, double angle) const {
    const double theta = angle * m_degToRad;
    return CPoint(static_cast<int>(std::trunc(std::sin(theta) * rx)),
                  static_cast<int>(std::trunc(std::cos(theta) * ry)));
}

CPoint CSpectrumPanel::Tip(int v) const {
    return v >= kLowestNeedle && v <= 100 ? m_tips[v - kLowestNeedle] : PolarToXY(75, 87, v - 50);
}

void CSpectrumPanel::DrawNeedle(int v) {
    if (!m_pDC || v == m_needle || v < 0 || v > 100) {
        return;
    }
    CDC& dc = *m_pDC;
    const int cx = m_x + 75;
    {
        // The scale's marks, from inside out, all at once.
        CPoint marks[2 * kMarks];
        DWORD pairs[kMarks];
        for (int i = 0; i < 2 * kMarks; ++i) {
            marks[i] = CPoint(cx + m_marks[i].x, m_y + 87 + m_marks[i].y);
        }
        std::fill(pairs, pairs + kMarks, 2);
        ScopedPen ticks(&dc, PS_SOLID, 1, kTick);
        dc.PolyPolyline(marks, pairs, kMarks);
    }
    const int pivotY = m_y + 89;
    {
        // The old needle is painted over in the box's fill; with no off-screen image this
        // is the only way to take it away without redrawing the box.
        ScopedPen eraser(&dc, PS_SOLID, 2, kBoxFill);
        const CPoint old = Tip(m_needle);
        dc.MoveTo(cx, pivotY);
        dc.LineTo(cx + old.x, pivotY - old.y);
    }
    {
        ScopedPen needle(&dc, PS_SOLID, 2, kNeedle);
        const CPoint tip = Tip(v);
        dc.MoveTo(cx, pivotY);
        dc.LineTo(cx + tip.x, pivotY - tip.y);
    }
    OutlinedRectangle(dc, m_x + 1, m_y + 74, m_x + kMeterWidth - 1, m_y + kBoxHeight - 1,
                      kCoverPlate, kBlack);
    m_needle = v;
    UpdateLamp(0);
}

void CSpectrumPanel::RedrawNeedle() {
    const int v = m_needle;
    m_needle = -1;
    DrawNeedle(v);
    // Without a surface nothing was drawn; the value shown must survive for the next paint.
    if (m_needle == -1) {
        m_needle = v;
    }
}

void CSpectrumPanel::Sweep() {
    for (int v = 0; v < 100; ++v) {
        DrawNeedle(v);
    }
    UpdateLamp(1);
    m_level = 100;
}

void CSpectrumPanel::SetLevel(float f) {
    // The product is exact in double; clamping before the conversion keeps a wild fraction
    // (NaN, infinities, far out of range) from reaching an undefined float-to-int cast.
    const double scaled = static_cast<double>(f) * 100.0;
    int a = 0;
    if (scaled >= 100.0) {
        a = 100;
    } else if (scaled > 0.0) {
        a = static_cast<int>(scaled);
    }
    if (a > m_level) {
        m_level = a;
    }
    DrawNeedle(m_level);
    if (m_level > 0) {
        m_level -= kLevelFall;
        if (m_level < 0) {
            m_level = 0;
        }
    }
}

void CSpectrumPanel::SetScale(float s) {
    m_scale = s;
}

void CSpectrumPanel::UpdateLamp(int flag) {
    if (flag != 0 && m_lampCount == 0) {
        m_lampCount = kLampPeriod;
    }
    if (m_lampCount != 0) {
        --m_lampCount;
    }
    if (!m_pDC) {
        return;
    }
    OutlinedRectangle(*m_pDC, m_x + 120, m_y + 67, m_x + 135, m_y + 73,
                      m_lampCount != 0 ? kLampLit : kLampUnlit, kLampOutline);
}

void CSpectrumPanel::DrawSpectrum(const float* s) {
    // Without a surface the held heights still fall and rise, so that the next paint and
    // tick show the columns where they would have been.
    CDC* dc = m_pDC;
    bool nothingHeld = true;
    // Each column is two lines down its own pixels: the area above its held height erased
    // (a column that drops falls back ten pixels per call instead of vanishing), then its new
    // height.
    int eraseTo[kColumns];
    int height[kColumns];
    for (int i = 0; i < kColumns; ++i) {
        eraseTo[i] = m_y + 99 - m_columnPeak[i];
        if (m_columnPeak[i] > 0) {
            nothingHeld = false;
            m_columnPeak[i] -= kColumnFall;
            if (m_columnPeak[i] < 0) {
                m_columnPeak[i] = 0;
            }
        }
        // A missing spectrum reads as silence, so the columns simply fall.
        const float product = s ? (s[2 * i] + s[2 * i + 1]) * m_scale : 0.0f;
        // Negative or NaN magnitudes would draw below the box or reach an undefined cast.
        int h = 0;
        if (product >= static_cast<float>(kColumnMax)) {
            h = kColumnMax;
        } else if (product > 0.0f) {
            h = static_cast<int>(product);
        }
        if (m_columnPeak[i] < h) {
            m_columnPeak[i] = h;
        }
        if (h > 0) {
            nothingHeld = false;
        }
        height[i] = h;
    }
    if (dc) {
        // Both kinds of line of all the columns that change go to the surface at once.
        CPoint erase[2 * kColumns];
        CPoint rise[2 * kColumns];
        DWORD pairs[kColumns];
        std::fill(pairs, pairs + kColumns, 2);
        int erased = 0;
        int risen = 0;
        const int top = m_y + 1;
        const int foot = m_y + kColumnBase;
        for (int i = 0; i < kColumns; ++i) {
            const int x = m_spectrumX + 1 + i;
            const int columnTop = foot + 1 - height[i];
            // The lines meet what the column left last time: the erase stops at the held
            // height, never below last time's top, so only the rows between the old and the
            // new bounds can change. Only those are drawn; the pixels come out as the whole
            // lines would leave them. After the frame nothing is known, and the lines are whole.
            const int clearTo = m_columnsShown ? m_shownClearTo[i] : top;
            const int shownTop = m_columnsShown ? m_shownTop[i] : foot + 1;
            if (eraseTo[i] > clearTo) {
                erase[2 * erased] = CPoint(x, clearTo);
                erase[2 * erased + 1] = CPoint(x, eraseTo[i]);
                ++erased;
            }
            if (columnTop < shownTop) {
                rise[2 * risen] = CPoint(x, shownTop - 1);
                rise[2 * risen + 1] = CPoint(x, columnTop - 1);
                ++risen;
            }
            // The held height falls at most ten rows, so the erase never ends above the rows
            // already clear; the column, drawn after it, may reach into them.
            m_shownClearTo[i] = std::min(eraseTo[i], columnTop);
            m_shownTop[i] = columnTop;
        }
        m_columnsShown = true;
        {
            ScopedPen background(dc, PS_SOLID, 1, kSpectrumBackground);
            dc->PolyPolyline(erase, pairs, erased);
        }
        ScopedPen column(dc, PS_SOLID, 1, kColumn);
        dc->PolyPolyline(rise, pairs, risen);
    } else {
        // The held heights moved without being drawn: what the box shows is no longer what
        // the next call's lines start from, so that call draws them whole.
        m_columnsShown = false;
    }
    // Drawn once empty, the box is only drawn empty again, pixel for pixel.
    m_spectrumAtRest = dc != nullptr && nothingHeld;
}

bool CSpectrumPanel::NeedleAtRest() const {
    return m_level == 0 && m_needle == 0;
}

bool CSpectrumPanel::SpectrumAtRest() const {
    return m_spectrumAtRest;
}
