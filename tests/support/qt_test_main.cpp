// main() of the test programs that need a QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "ui/gui_call.h"

int main(int argc, char** argv)
{
    // Set here, not only in ctest's environment: test discovery runs this
    // binary at build time.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    InitGuiCalls();
    return RUN_ALL_TESTS();
}
