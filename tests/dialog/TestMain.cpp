#include "WinApp.h"

#include <QApplication>

#include <gtest/gtest.h>

// Message boxes take their caption from the application object.
CWinApp theApp("Dialog Tests");

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Headless unless told otherwise, test discovery included.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
