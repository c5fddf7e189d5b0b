// The invoice tests need a real application object and the browser engine, started once per
// program, exactly as the host starts them.
#include "common/BrowserEngine.h"
#include "corvane/Khan.h"
#include "tests/common/TestFiles.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The browser profile keeps its storage under the user's data folder: use a fresh one.
    qm::test::TTempFolder userFolders;
    setenv("XDG_DATA_HOME", userFolders.File("data").c_str(), 1);
    setenv("XDG_CACHE_HOME", userFolders.File("cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", userFolders.File("config").c_str(), 1);

    qm::PrepareBrowserEngine();
    QApplication app(argc, argv);
    qm::FinishBrowserEnginePreparation();
    const int result = RUN_ALL_TESTS();
    corvane::Khan_Free();
    return result;
}
