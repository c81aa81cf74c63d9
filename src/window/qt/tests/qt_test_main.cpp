// The Qt tests need one application object for the whole run, on the offscreen platform
// unless told otherwise (ctest sets it too; test discovery runs without that setting).

#include <gtest/gtest.h>

#include <QApplication>

#include "window/qt/app_setup.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    mivo::qt::setUpApplication(app);
    return RUN_ALL_TESTS();
}
