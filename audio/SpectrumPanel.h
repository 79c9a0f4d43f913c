// One display panel drawn straight onto the window's client area: a needle
// meter with an overload lamp on the left, a spectrum box of 255 columns on
// the right.
//
// Thread contract: the window's thread only. The surface given to SetDC is
// valid only during the paint or tick that set it; the panel keeps no pens or
// brushes between calls.
#pragma once

#include "Afx.h"

class CSpectrumPanel {
  public:
    // In pixels: the meter box, and the spectrum box that starts kSpectrumOffset to the
    // right of it, both kBoxHeight high.
    static constexpr int kMeterWidth = 150;
    static constexpr int kSpectrumOffset = 155;
    static constexpr int kSpectrumWidth = 257;
    static constexpr int kBoxHeight = 100;
    static constexpr int kWidth = kSpectrumOffset + kSpectrumWidth;

    CSpectrumPanel();
    virtual ~CSpectrumPanel();

    void SetDC(CDC* pDC);
    void Place(int x, int y);
    void DrawFrame();
    CPoint PolarToXY(int rx, int ry, double angle) const;
    void DrawNeedle(int v);
    void RedrawNeedle();
    void Sweep();
    void SetLevel(float f);
    void SetScale(float s);
    void UpdateLamp(int flag);
    void DrawSpectrum(const float* s);
    // Whether another call with nothing to show (level 0, a silent spectrum) would change
    // neither a pixel nor a held value: the needle and level rest at 0, and the spectrum box
    // was last drawn empty with nothing held, since the frame last painted it over.
    bool NeedleAtRest() const;
    bool SpectrumAtRest() const;

    // Fields, in declaration order.
    int m_needle;
    CDC* m_pDC;
    int m_x, m_y;
    int m_spectrumX;
    double m_pi;
    double m_degToRad;
    int m_level;
    int m_columnPeak[256];
    float m_scale;
    int m_lampCount;
    bool m_spectrumAtRest;
    // What each spectrum column last left, valid until the frame paints the box over or a
    // call finds no surface: the rows above m_shownClearTo are the background, those from
    // m_shownTop to the foot the column's colour.
    bool m_columnsShown;
    int m_shownClearTo[kSpectrumWidth - 2];
    int m_shownTop[kSpectrumWidth - 2];

  private:
    // The scale's eleven marks, every 10 degrees from -50 to 50, each from its inner to its
    // outer end, relative to the scale's centre: the same on every tick, so found once.
    static constexpr int kMarks = 11;
    CPoint m_marks[2 * kMarks];
    // The needle's tip relative to its pivot for each value it can show, and for the -1
    // that stands for none: also found once, where each tick would take two sines and
    // cosines.
    static constexpr int kLowestNeedle = -1;
    CPoint m_tips[100 - kLowestNeedle + 1];
    CPoint Tip(int v) const;
};
