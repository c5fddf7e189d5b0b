#include "common/Shell.h"

#include <gtest/gtest.h>

TEST(PathSeparators, ConvertEveryOccurrence) {
    EXPECT_EQ(qm::ToBackslashes("Plugins/Login/Porlock.so"), "Plugins\\Login\\Porlock.so");
    EXPECT_EQ(qm::ToBackslashes("a\\b/c//"), "a\\b\\c\\\\");
    EXPECT_EQ(qm::ToSlashes("Config\\Skin.Sys"), "Config/Skin.Sys");
    EXPECT_EQ(qm::ToSlashes("\\\\server\\share/x"), "//server/share/x");
    EXPECT_EQ(qm::ToSlashes(""), "");
}
