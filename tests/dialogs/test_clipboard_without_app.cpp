#include "common/Clipboard.h"
#include "corvane/Errors.h"

#include <gtest/gtest.h>

// No QGuiApplication exists in this program, so there is no clipboard to open.
TEST(ClipboardWithoutApplication, RaisesCannotOpenClipboard) {
    try {
        qm::CopyTextToClipboard("text");
        FAIL() << "CopyTextToClipboard did not raise";
    } catch (const corvane::ETax& error) {
        EXPECT_EQ(error.Message(), "不能打开剪切板");
        EXPECT_NE(error.Location().find("CopyTextToClipboard"), std::string::npos);
    }
}
