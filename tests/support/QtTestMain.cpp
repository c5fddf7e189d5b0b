#include <QApplication>
#include <gtest/gtest.h>

// Widget tests need a QApplication; listing the tests (done at build time) must not, since no
// display may be there then.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
