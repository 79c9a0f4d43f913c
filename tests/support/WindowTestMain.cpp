// The program's one application object, and the Qt application the window needs, made
// before any test runs.
#include "CorvalineApp.h"

#include <QApplication>

#include <gtest/gtest.h>

CCorvalineApp theApp;

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Headless unless told otherwise, test discovery included.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
