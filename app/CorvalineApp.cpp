#include "CorvalineApp.h"

#include "CorvalineDlg.h"

CCorvalineApp::CCorvalineApp() : CWinApp("Corvaline") {}

CCorvalineApp::~CCorvalineApp() = default;

BOOL CCorvalineApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();
    CCorvalineDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // No message loop of our own: the program ends when the window has closed.
    return FALSE;
}
