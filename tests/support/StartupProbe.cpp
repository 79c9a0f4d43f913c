// Probes built into the program for measurements and pictures of its real window, each off
// unless asked for in the environment, and only for the first dialog window of the process:
//   AFX_REPORT_FIRST_PAINT=1   prints "first-paint <steady clock in ns>" on stdout once the
//                              window has painted itself;
//   AFX_SCREENSHOT=file.png    saves the window with its controls once the first timer
//                              ticks have drawn, then ends it as the cancel command does.
// They watch the program's events from outside: the program itself is unchanged.

#include "DialogWindow.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

void ReportFirstPaint() {
    const char* report = std::getenv("AFX_REPORT_FIRST_PAINT");
    if (!report || !*report) {
        return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("first-paint %lld\n",
                static_cast<long long>(std::chrono::nanoseconds(now).count()));
    std::fflush(stdout);
}

void ScheduleScreenshot(QDialog* window) {
    const char* path = std::getenv("AFX_SCREENSHOT");
    if (!path || !*path) {
        return;
    }
    QTimer::singleShot(500, window, [window, file = QString::fromLocal8Bit(path)] {
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "screenshot: cannot write %s\n", qPrintable(file));
        }
        // The dialog window's reject is the cancel command.
        window->reject();
    });
}

class FirstPaintProbe final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        auto* window = dynamic_cast<DialogWindow*>(watched);
        if (!window) {
            return false;
        }
        QCoreApplication::instance()->removeEventFilter(this);
        // What is timed is the window's painting done, so it gets its paint event here,
        // once, rather than after this returns.
        static_cast<QObject*>(window)->event(event);
        ReportFirstPaint();
        ScheduleScreenshot(window);
        return true;
    }
};

void InstallProbe() {
    QCoreApplication* application = QCoreApplication::instance();
    application->installEventFilter(new FirstPaintProbe(application));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
