// The main of the test programs that need an X server with a window
// manager, which scripts/xsession gives them: one application object on that
// display. Without one the program says why and exits with 77, which CTest
// counts as skipped.
#include "Forms.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") || !std::getenv("KV_X_WINDOW_MANAGER")) {
        std::printf("skipped: these tests need an X server with a window manager (run them through "
                    "scripts/xsession, which needs Xvfb and openbox)\n");
        return 77;
    }
    ::testing::InitGoogleTest(&argc, argv);
    new TApplication();
    int result = RUN_ALL_TESTS();
    delete Application;
    return result;
}
