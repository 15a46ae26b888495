// Test entry: a QApplication for the real windows (offscreen), and the same clean-up switch as
// the program, because the detached clean-up process is this executable started again.

#include "ErrorDisplay.h"
#include "platform/Cleanup.h"
#include "session/Passwords.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (const int code = vt::app::runBatchModeIfRequested(argc, argv); code >= 0) return code;
    // The windows are driven offscreen, also when the test list is read without ctest's
    // environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vt::app::VeltranaApplication application(argc, argv);
    // Cheaper password hashes keep the suite fast: 2 passes over 16 MiB instead of 64 MiB.
    vt::app::passwords::setHashCost({2, 16u * 1024 * 1024});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
