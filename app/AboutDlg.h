// The About box, opened from the system menu.
#pragma once

#include "Afx.h"

class CAboutDlg : public CDialog {
  public:
    CAboutDlg();

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
