#pragma once

#include "Wnd.h"

#include <span>
#include <string>
#include <string_view>

// The control classes a dialog binds with DDX_Control. Index and position arguments follow
// the Windows controls: LB_ERR for a bad index, positions clamped to the range.

class CListBox : public CWnd {
  public:
    // Returns the index of the new line, the last.
    int AddString(const std::string& text);
    // Adds the lines in their order, as AddString of each would, and returns the index of the
    // last (LB_ERR when none is added): the way to fill a list with many thousand lines.
    int AddStrings(std::span<const std::string_view> texts);
    // Returns the number of lines left, or LB_ERR.
    int DeleteString(UINT nIndex);
    // Returns the length of the line, or LB_ERR (text then unchanged).
    int GetText(int nIndex, std::string& text) const;
    int GetCount() const;
    // -1 clears the selection (and, as on Windows, returns LB_ERR).
    int SetCurSel(int nSelect);
    int GetCurSel() const;
    void ResetContent();
};

class CSliderCtrl : public CWnd {
  public:
    void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE);
    int GetRangeMin() const;
    int GetRangeMax() const;
    void SetPos(int nPos);
    int GetPos() const;
};

class CProgressCtrl : public CWnd {
  public:
    void SetRange(short nLower, short nUpper);
    // Returns the previous position.
    int SetPos(int nPos);
    int GetPos() const;
};
