// Test main shared by every test program: a QApplication on the offscreen
// platform and the class library's application object, so form and widget
// tests need no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

#include "app/Style.h"
#include "platform/ui/Forms.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TApplication application;
    RegisterProgramStyles();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
