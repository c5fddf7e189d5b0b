// An update replaces the host program while the desk runs: a plug-in loaded afterwards still finds
// the installation (its configuration, its plug-ins folder) where the desk started.
#include "TestInstallation.h"

#include <fstream>
#include <gtest/gtest.h>

namespace qmtest {
namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

TEST(ProgramReplaced, APlugInLoadedAfterTheHostWasReplacedFindsTheInstallation) {
    TTestInstallation desk(UniqueTitle("program replaced"));
    const fs::path go = desk.Dir() / "go";
    fs::copy_file(desk.Dir() / "Recorder.so", desk.Dir() / "Late.so");
    // The script waits, holding the desk, until the test has replaced the program.
    desk.WriteBootXml({"Config/Scripts/boot.lua"});
    desk.WriteFile("Config/Scripts/boot.lua",
                   RecordStatement("before") + "while not io.open(\"" + go.string() + "\") do end\n" +
                       "plugin_invoke{plugin = \"Late.so\", req_id = 1, line = \"after\"}\n" +
                       "plugin_invoke{plugin = \"Late.so\", req_id = 3}\n");

    auto host = desk.Start("desk");
    ASSERT_TRUE(WaitUntil([&] { return !desk.Evidence().empty(); }, 20s)) << host->Output();
    // As an update does it: the old program set aside, the new one put in its place, the old one
    // removed with the update's backup.
    const fs::path discard = desk.Dir() / "Download/Extraction/Discard/replaced";
    fs::create_directories(discard);
    fs::rename(desk.Dir() / "Quillmere", discard / "Quillmere");
    fs::copy_file(discard / "Quillmere", desk.Dir() / "Quillmere");
    fs::remove_all(desk.Dir() / "Download/Extraction/Discard");
    std::ofstream(go) << "go";

    EXPECT_TRUE(WaitUntil([&] { return desk.Evidence().size() >= 3; }, 20s)) << host->Output();
    Lines evidence = desk.Evidence();
    evidence.resize(3); // the start-up usage event may follow
    EXPECT_EQ(evidence, (Lines{"before", "after", "configuration found"}));
    EXPECT_TRUE(host->Running());
}

} // namespace
} // namespace qmtest
