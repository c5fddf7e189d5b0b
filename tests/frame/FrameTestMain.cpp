#include <QApplication>
#include <gtest/gtest.h>
#include <stdlib.h>

// The desk needs a QApplication; listing the tests (done at build time) must not. The offscreen
// platform gets a screen of known size (and scale, where one is given) from the configuration this
// program was built with, so the window geometries the tests expect do not depend on where they run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" QM_SCREEN_FILE, 1);
#ifdef QM_SCALE_FACTOR
    setenv("QT_SCALE_FACTOR", QM_SCALE_FACTOR, 1);
#endif
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
