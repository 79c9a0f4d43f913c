#include "AboutDlg.h"

#include "Resources.h"

CAboutDlg::CAboutDlg() : CDialog((RegisterResources(), AboutDialogTemplate())) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}
