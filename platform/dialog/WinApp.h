#pragma once

#include "AfxTypes.h"

#include <initializer_list>
#include <string>

class CWnd;

// The program-wide application object; exactly one exists. AfxWinMain makes the Qt
// application, then calls InitInstance; when it returns FALSE the program ends there.
class CWinApp {
  public:
    explicit CWinApp(const char* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // Runs the application's own event loop (only when InitInstance returned TRUE).
    virtual int Run();
    virtual int ExitInstance();

    HICON LoadIcon(UINT nIDResource) const;
    // Windows switches that have no counterpart here.
    BOOL Enable3dControls() { return TRUE; }

    CWnd* m_pMainWnd = nullptr;
    std::string m_pszAppName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
inline BOOL AfxEnableControlContainer() {
    return TRUE;
}

// The body of main(): returns the program's exit code.
int AfxWinMain(int argc, char** argv);

// The program's strings and icons, registered by identifier before they are used. Icon
// pictures are kept by reference and must live as long as the program.
BOOL AfxRegisterString(UINT nID, const std::string& text);
// FALSE when no string has that identifier (text then empty).
BOOL AfxLoadString(UINT nID, std::string& text);
// Pictures in XPM form, e.g. a 32 x 32 and a 16 x 16 one.
BOOL AfxRegisterIcon(UINT nID, std::initializer_list<const char* const*> xpmPictures);
HICON AfxFindIcon(UINT nID);
// Writes the icon as a PNG picture of size x size pixels, for the desktop's icon theme.
// A picture that fits a whole number of times is enlarged pixel by pixel, so that it stays
// sharp; otherwise the nearest is scaled smoothly. FALSE when there is no such icon or the
// file cannot be written.
BOOL AfxSaveIconPicture(UINT nID, int size, const std::string& path);
