#pragma once

// Data exchange between a dialog's fields and its controls, called from DoDataExchange in
// binding order. When reading, the first failed validation shows its message, puts the
// focus in the failing edit with its whole text selected and marks the pass failed; every
// exchange after it in the same pass does nothing, and UpdateData returns FALSE.

#include "AfxTypes.h"

#include <string>

class CDialog;
class CWnd;

class CDataExchange {
  public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate);

    // The control the next exchange or validation is about.
    void PrepareCtrl(int nIDC);
    void PrepareEditCtrl(int nIDC);
    // Focus (and selection, for an edit) to the last prepared control; the pass fails.
    void Fail();
    bool Failed() const { return m_bFailed; }
    // Whether the last prepared control is the one this pass leaves alone: its exchange and
    // its validation do nothing.
    bool LeavesLastControl() const {
        return m_idLeftAlone != 0 && m_idLastControl == m_idLeftAlone;
    }

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
    int m_idLastControl = 0;
    BOOL m_bEditLastControl = FALSE;
    // A control neither read nor written in this pass, or 0.
    int m_idLeftAlone = 0;

  private:
    bool m_bFailed = false;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
// Written as "%.*g" with 15 significant digits.
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
// 0 clear, 1 checked.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);
