// The application object: runs the main window modally, then ends the program.
#pragma once

#include "Afx.h"

class CCorvalineApp : public CWinApp {
  public:
    CCorvalineApp();
    ~CCorvalineApp() override;
    BOOL InitInstance() override;
};
