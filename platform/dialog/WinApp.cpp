#include "WinApp.h"

#include "IconResource.h"

#include <QApplication>

#include <map>
#include <memory>

namespace {

CWinApp*& TheApp() {
    static CWinApp* app = nullptr;
    return app;
}

} // namespace

CWinApp::CWinApp(const char* pszAppName) : m_pszAppName(pszAppName ? pszAppName : "") {
    TheApp() = this;
}

CWinApp::~CWinApp() {
    if (TheApp() == this)
        TheApp() = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    const int code = QApplication::instance() ? QApplication::exec() : 0;
    ExitInstance();
    return code;
}

int CWinApp::ExitInstance() {
    return 0;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return AfxFindIcon(nIDResource);
}

CWinApp* AfxGetApp() {
    return TheApp();
}

CWnd* AfxGetMainWnd() {
    return TheApp() ? TheApp()->m_pMainWnd : nullptr;
}

int AfxWinMain(int argc, char** argv) {
    QApplication application(argc, argv);
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (app->m_pszAppName.empty())
        app->m_pszAppName = QApplication::applicationName().toStdString();
    else
        QApplication::setApplicationName(QString::fromStdString(app->m_pszAppName));
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
