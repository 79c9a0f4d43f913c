#include "WinApp.h"

#include "IconResource.h"

#include <QApplication>
#include <QSettings>

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
    if (TheApp() == this) {
        TheApp() = nullptr;
    }
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
    // A program of this framework keeps nothing between runs, but Qt's own dialogs keep
    // their state (the file dialog the folders browsed) in the user's configuration. Their
    // settings are sent where no file can be made or read: /dev/null is not a directory.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    }
    // A dialog's window shows small areas it drew many times a second (a meter, say). Through
    // shared memory, Qt's X11 backing store waits for the server to finish reading the last
    // image before each repaint, a round trip that wakes two threads every time; sent over the
    // connection, an area of a few dozen kilobytes costs less than that wait. (Qt's switch:
    // set to anything, shared memory is not used; other platforms ignore it.)
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication application(argc, argv);
    CWinApp* app = AfxGetApp();
    if (!app) {
        return 1;
    }
    if (app->m_pszAppName.empty()) {
        app->m_pszAppName = QApplication::applicationName().toStdString();
    } else {
        QApplication::setApplicationName(QString::fromStdString(app->m_pszAppName));
    }
    if (!app->InitInstance()) {
        return app->ExitInstance();
    }
    return app->Run();
}
