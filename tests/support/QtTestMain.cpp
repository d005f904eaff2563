// main() of the widget tests: one QApplication for the whole run, set up as the program
// sets itself up, living until every test has finished.
#include "forms/AppSetup.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless unless told otherwise, and never a session bus that outlives the test.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    QApplication app(argc, argv);
    // Settings the program remembers go to a test folder, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    wsx::setUpApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
