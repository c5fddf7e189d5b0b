// The update check as the worker runs it (descriptor fetched from the real reference server,
// versions, the mode table, the descriptor copy), signed descriptors and their issue serials, and the
// release notes it builds.
#include "common/IniFile.h"
#include "common/Paths.h"
#include "common/StoreListText.h"
#include "common/TextEncoding.h"
#include "tests/common/TestFiles.h"
#include "tests/support/ReferenceServer.h"
#include "tests/upgrade/SigningSupport.h"
#include "upgrade/CheckUpgrade.h"
#include "upgrade/IssuedState.h"
#include "upgrade/ReleaseNotes.h"
#include "upgrade/SignedDescriptor.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The state a check reports (0: tasks are due) and its reason.
int StateOf(const qm::TCheckOutcome& outcome) {
    if (!outcome)
        return outcome.Code();
    return outcome->Tasks.empty() ? 99 : 0;
}
std::string ReasonOf(const qm::TCheckOutcome& outcome) {
    if (!outcome)
        return outcome.Reason();
    return outcome->Tasks.empty() ? qm::kAlreadyCurrent : "";
}
// What is due; nothing for a failed check.
const qm::TUpdatesDue& DueOf(const qm::TCheckOutcome& outcome) {
    static const qm::TUpdatesDue nothing;
    return outcome ? *outcome : nothing;
}

using qm::test::TTempFolder;
using qm::test::WriteBytes;

class CheckUpgradeTest : public ::testing::Test {
protected:
    // Upgrade.txt of a component whose main package is server/comp/Setup.run and whose silent
    // package is server/comp/Silent.run; the descriptor server/comp/upgrade.zip.
    qm::TDownload_Upfile Component(const std::string& mainVersion, const std::string& silentVersion,
                                   const std::string& descriptor) {
        qm::EnsureDir(served_.File("comp"));
        WriteBytes(served_.File("comp/upgrade.zip"), descriptor);
        WriteBytes(local_.File("Upgrade.txt"), "[upgrade]\nver=" + mainVersion +
                                                   "\nurl=" + server_.URL("/comp/Setup.run") +
                                                   "\n[silent]\nver=" + silentVersion +
                                                   "\nurl=" + server_.URL("/comp/Silent.run") + "\n");
        return {local_.File("Upgrade.txt"), local_.File("state.ini")};
    }

    TTempFolder served_;
    TTempFolder local_;
    qm::test::ReferenceServer server_{served_.Path(), {"--test-routes"}};
};

TEST_F(CheckUpgradeTest, VersionsForceAndTheModeTable) {
    const int none = -1; // no task of that kind
    const struct {
        const char* name;
        std::string localMain, localSilent, serverMain, serverSilent, force;
        int state;
        int silentMode, mainMode;
        bool hidden, forced;
    } cases[] = {
        {"2.0 and V2.0 differ", "2.0", "1", "V2.0", "1", "", 0, none, 1, false, false},
        {"abc and ABC do not", "abc", "1", "ABC", "1", "", 99, none, none, false, false},
        {"an empty server version offers nothing", "1", "1", "", "", "", 99, none, none, false, false},
        {"a blank server version offers nothing", "1", "1", "  ", "1", "1", 99, none, none, false, true},
        {"only the silent package", "1", "1", "1", "2", "", 0, 1, none, true, false},
        {"both", "1", "1", "2", "2", "", 0, 2, 2, false, false},
        {"both, forced", "1", "1", "2", "2", "1", 0, 3, 3, false, true},
        {"main, forced", "1", "1", "2", "1", "1", 0, none, 3, false, true},
        {"silent only, forced", "1", "1", "1", "2", "1", 0, 1, none, true, true},
        {"force 1 with blanks", "1", "1", "2", "1", " 1 ", 0, none, 3, false, true},
        {"force 2 is not forced", "1", "1", "2", "1", "2", 0, none, 1, false, false},
        {"force not an integer is not forced", "1", "1", "2", "1", "yes", 0, none, 1, false, false},
        {"force 1.0 is not an integer", "1", "1", "2", "2", "1.0", 0, 2, 2, false, false},
        {"nothing newer, forced", "1", "1", "1", "1", "1", 99, none, none, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string descriptor = "[upgrade]\nver=" + c.serverMain + "\nforce=" + c.force +
                                       "\nparams=-q marker\nurl=" + server_.URL("/pkgs/Setup.run") +
                                       "\nsha256=ab12\n[silent]\nver=" + c.serverSilent + "\nsha256=cd34\n";
        const qm::TCheckOutcome outcome = qm::CheckUpgrade(Component(c.localMain, c.localSilent, descriptor));
        EXPECT_EQ(StateOf(outcome), c.state);
        EXPECT_EQ(ReasonOf(outcome), c.state == 99 ? "已经是最新版本" : "");
        EXPECT_EQ(DueOf(outcome).Forced, c.forced);
        EXPECT_EQ(DueOf(outcome).StartHidden, c.hidden);
        EXPECT_EQ(DueOf(outcome).ShowDialog, c.mainMode != none);
        EXPECT_EQ(DueOf(outcome).Notes.has_value(), c.mainMode != none);
        std::size_t next = 0;
        if (c.silentMode != none) {
            ASSERT_LT(next, DueOf(outcome).Tasks.size());
            const qm::TTaskObj& silent = DueOf(outcome).Tasks[next++];
            EXPECT_EQ(silent.Mode, c.silentMode);
            EXPECT_EQ(silent.URL, server_.URL("/comp/Silent.run")) << "as Upgrade.txt writes it";
            EXPECT_EQ(silent.LocalFile, qm::DownloadPath() + "Silent.run");
            EXPECT_EQ(silent.Params, "");
            EXPECT_EQ(silent.Sha256, "cd34");
        }
        if (c.mainMode != none) {
            ASSERT_LT(next, DueOf(outcome).Tasks.size());
            const qm::TTaskObj& main = DueOf(outcome).Tasks[next++];
            EXPECT_EQ(main.Mode, c.mainMode);
            EXPECT_EQ(main.URL, server_.URL("/pkgs/Setup.run")) << "as the descriptor writes it";
            EXPECT_EQ(main.LocalFile, qm::DownloadPath() + "Setup.run") << "named as in Upgrade.txt";
            EXPECT_EQ(main.Params, "-q marker");
            EXPECT_EQ(main.Sha256, "ab12");
        }
        EXPECT_EQ(next, DueOf(outcome).Tasks.size());
        EXPECT_FALSE(qm::FileExists(local_.File("Upgrade.ini"))) << "the descriptor copy is deleted";
    }
}

TEST_F(CheckUpgradeTest, ADescriptorThatCannotBeFetchedSkipsTheCheck) {
    const struct {
        const char* name;
        std::string url; // of the main package in Upgrade.txt; the descriptor is beside it
    } cases[] = {
        {"no descriptor", server_.URL("/nowhere/Setup.run")},
        {"a page saying 404 Not Found", server_.URL("/notfound/Setup.run")},
        {"no server", "http://127.0.0.1:1/comp/Setup.run"},
        // A network failure, not a refusal: the next check tries again.
        {"its signature withheld by the server", server_.URL("/nosig/signed/Setup.run")},
    };
    qm::EnsureDir(served_.File("notfound"));
    WriteBytes(served_.File("notfound/upgrade.zip"), "<html>404 Not Found</html>");
    qm::EnsureDir(served_.File("signed"));
    WriteBytes(served_.File("signed/upgrade.zip"), "[upgrade]\nver=2\nissued=1\n");
    TTempFolder keys;
    const upgrade_test::TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.Path().string());
    upgrade_test::SignPackage(publisher, served_.File("signed/upgrade.zip"));
    WriteBytes(local_.File("Upgrade.txt"),
               "[upgrade]\nver=1\nurl=" + server_.URL("/nosig/signed/Setup.run") + "\n");
    ASSERT_EQ(StateOf(qm::CheckUpgrade({local_.File("Upgrade.txt"), ""})), 0)
        << "without a key the descriptor there is fetched: only its signature is withheld";
    const upgrade_test::TUpdateKeySetting setting(publisher.publicKey);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(local_.File("Upgrade.txt"), "[upgrade]\nver=1\nurl=" + c.url + "\n");
        const qm::TCheckOutcome outcome = qm::CheckUpgrade({local_.File("Upgrade.txt"), ""});
        EXPECT_EQ(StateOf(outcome), 99);
        EXPECT_EQ(ReasonOf(outcome), "服务器upgrade.zip下载失败了");
        EXPECT_TRUE(DueOf(outcome).Tasks.empty());
        EXPECT_FALSE(qm::FileExists(local_.File("Upgrade.ini"))) << "the descriptor copy is deleted";
    }
}

// With an update key the descriptor is signed with the real tool as a descriptor, names its
// component, expiry, packages' digests and lengths, and carries an issue serial; the cases run in
// order, so the last accepted serial carries over.
TEST_F(CheckUpgradeTest, SignedDescriptorsAndTheirIssueSerials) {
    using upgrade_test::TPublisherKey;
    TTempFolder keys;
    const TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.Path().string());
    const TPublisherKey stranger = upgrade_test::MakePublisherKey(keys.Path().string(), "stranger.key");
    const std::string mainDigest(64, 'a');
    const std::string silentDigest(64, 'B');
    const auto descriptor = [&](const std::string& issued, const std::string& mainSha,
                                const std::string& silent) {
        return "[upgrade]\nver=2\nissued=" + issued +
               "\ncomponent=/comp/\nexpires=20991231235959\nurl=" + server_.URL("/pkgs/Setup.run") +
               "\nsha256=" + mainSha + "\nlength=10\n[silent]\n" + silent + "\nVer 2 Build 1\nnote\n";
    };
    // The descriptor of a case with one field's text replaced.
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string text = descriptor("20260303", mainDigest, "");
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::string none = "(none)";
    // AsPackage: the publisher's true signature, but of the bytes as a package.
    enum class Signer { Publisher, Stranger, Nobody, AsPackage };
    const struct {
        const char* name;
        std::string text;
        Signer signer;
        // Applied to the served descriptor after signing.
        std::function<void(const std::string& served)> spoil;
        std::string localVersion;
        int state;
        std::string reasonPart;
        std::string lastIssued; // kept afterwards
    } cases[] = {
        {"signed, issued 20260301",
         descriptor("20260301", mainDigest, ""),
         Signer::Publisher,
         {},
         "1",
         0,
         "",
         "20260301"},
        {"the same descriptor again",
         descriptor("20260301", mainDigest, ""),
         Signer::Publisher,
         {},
         "1",
         0,
         "",
         "20260301"},
        {"a replayed older one",
         descriptor("20260228", mainDigest, ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "is older than 20260301",
         "20260301"},
        {"equal with leading zeros",
         descriptor("0020260301", mainDigest, ""),
         Signer::Publisher,
         {},
         "1",
         0,
         "",
         "20260301"},
        {"a newer one",
         descriptor("20260302", mainDigest, "ver=5\nsha256=" + silentDigest + "\nlength=3"),
         Signer::Publisher,
         {},
         "1",
         0,
         "",
         "20260302"},
        {"url changed after signing", descriptor("20260303", mainDigest, ""), Signer::Publisher,
         [](const std::string& served) {
             std::string bytes = qm::test::ReadBytes(served);
             bytes.replace(bytes.find("/pkgs/"), 6, "/evil/");
             WriteBytes(served, bytes);
         },
         "1", 4, "does not match the descriptor", "20260302"},
        {"no signature",
         descriptor("20260303", mainDigest, ""),
         Signer::Nobody,
         {},
         "1",
         4,
         "no signature at",
         "20260302"},
        {"signed by another key",
         descriptor("20260303", mainDigest, ""),
         Signer::Stranger,
         {},
         "1",
         4,
         "does not match",
         "20260302"},
        {"the signature is not hex", descriptor("20260303", mainDigest, ""), Signer::Nobody,
         [](const std::string& served) { WriteBytes(served + ".sig", std::string(128, 'x')); }, "1", 4,
         "not 128 hex digits", "20260302"},
        {"main package without its sha256",
         descriptor("20260303", "", ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "[upgrade] is offered without its sha256",
         "20260302"},
        {"main package with a short sha256",
         descriptor("20260303", "ab12", ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "without its sha256",
         "20260302"},
        {"silent package without its sha256",
         descriptor("20260303", mainDigest, "ver=6"),
         Signer::Publisher,
         {},
         "1",
         4,
         "[silent] is offered without its sha256",
         "20260302"},
        {"no issue serial",
         descriptor("", mainDigest, ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "no issue serial",
         "20260302"},
        {"an issue serial that is not a number",
         descriptor("2026-03-03", mainDigest, ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "no issue serial",
         "20260302"},
        {"another component's descriptor",
         with("component=/comp/", "component=/other/"),
         Signer::Publisher,
         {},
         "1",
         4,
         "published for component /other/, not for /comp/",
         "20260302"},
        {"no component",
         with("component=/comp/", ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "names no component",
         "20260302"},
        {"expired",
         with("expires=20991231235959", "expires=20200101000000"),
         Signer::Publisher,
         {},
         "1",
         4,
         "expired at 20200101000000",
         "20260302"},
        {"no expiry",
         with("expires=20991231235959", ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "carries no expiry",
         "20260302"},
        {"an expiry that is no time",
         with("expires=20991231235959", "expires=20991331235959"),
         Signer::Publisher,
         {},
         "1",
         4,
         "carries no expiry",
         "20260302"},
        {"main package without its length",
         with("length=10\n", ""),
         Signer::Publisher,
         {},
         "1",
         4,
         "[upgrade] is offered without its length",
         "20260302"},
        {"silent package without its length",
         descriptor("20260303", mainDigest, "ver=6\nsha256=" + silentDigest),
         Signer::Publisher,
         {},
         "1",
         4,
         "[silent] is offered without its length",
         "20260302"},
        {"signed as a package",
         descriptor("20260303", mainDigest, ""),
         Signer::AsPackage,
         {},
         "1",
         4,
         "does not match the descriptor",
         "20260302"},
        {"a package over plain http to another machine",
         with(server_.URL("/pkgs/Setup.run"), "http://192.0.2.7/pkgs/Setup.run"),
         Signer::Publisher,
         {},
         "1",
         4,
         "only over https",
         "20260303"},
        {"the component as an address",
         with("component=/comp/", "component=https://example.com/comp"),
         Signer::Publisher,
         {},
         "1",
         0,
         "",
         "20260303"},
        {"already current, newer serial",
         descriptor("20260304", mainDigest, "ver=5\nsha256=" + silentDigest + "\nlength=3"),
         Signer::Publisher,
         {},
         "2",
         99,
         "",
         "20260304"},
    };
    std::filesystem::remove(qm::IssuedStateFile());
    const upgrade_test::TUpdateKeySetting setting(publisher.publicKey);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qm::TDownload_Upfile upfile = Component(c.localVersion, "5", c.text);
        const std::string served = served_.File("comp/upgrade.zip");
        std::filesystem::remove(served + ".sig");
        if (c.signer == Signer::AsPackage)
            upgrade_test::SignPackage(publisher, served);
        else if (c.signer != Signer::Nobody)
            upgrade_test::SignDescriptor(c.signer == Signer::Publisher ? publisher : stranger, served);
        if (c.spoil)
            c.spoil(served);
        const std::size_t loggedBefore = upgrade_test::CountInLog("拒绝升级描述文件");
        const qm::TCheckOutcome outcome = qm::CheckUpgrade(upfile);
        EXPECT_EQ(StateOf(outcome), c.state) << ReasonOf(outcome);
        if (c.state == 4) {
            EXPECT_EQ(ReasonOf(outcome).rfind("服务器upgrade.zip未通过校验：", 0), 0u) << ReasonOf(outcome);
            EXPECT_NE(ReasonOf(outcome).find(c.reasonPart), std::string::npos) << ReasonOf(outcome);
            EXPECT_TRUE(DueOf(outcome).Tasks.empty());
        }
        EXPECT_EQ(upgrade_test::CountInLog("拒绝升级描述文件"), loggedBefore + (c.state == 4 ? 1 : 0));
        if (c.state == 0) {
            ASSERT_FALSE(DueOf(outcome).Tasks.empty());
            EXPECT_EQ(DueOf(outcome).Tasks.back().Sha256, mainDigest) << "bound to the signed digest";
        }
        EXPECT_EQ(qm::LastIssued("/comp/"), c.lastIssued);
        EXPECT_FALSE(qm::FileExists(local_.File("Upgrade.ini"))) << "the descriptor copy is deleted";
        EXPECT_FALSE(qm::FileExists(local_.File("Upgrade.ini.sig"))) << "and so is its signature";
    }
    EXPECT_EQ(qm::LastIssued("/other/"), "") << "serials are kept per component";
    std::filesystem::remove(qm::IssuedStateFile());
}

// The floor an installation ships with, written by the publisher's tool, or kept by an older
// installation under its Upgrade.txt's path, refuses older descriptors from the first check on.
TEST_F(CheckUpgradeTest, AShippedFloorRefusesOlderDescriptors) {
    TTempFolder keys;
    const upgrade_test::TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.Path().string());
    const upgrade_test::TUpdateKeySetting setting(publisher.publicKey);
    const auto descriptor = [&](const std::string& issued) {
        return "[upgrade]\nver=2\nissued=" + issued +
               "\ncomponent=/comp/\nexpires=20991231235959\nurl=" + server_.URL("/pkgs/Setup.run") +
               "\nsha256=" + std::string(64, 'a') + "\nlength=10\n";
    };
    enum class Floor { Shipped, Legacy, Both };
    const struct {
        const char* name;
        Floor floor;
        std::string issued;
        int state;
        std::string reasonPart;
    } cases[] = {
        {"older than the shipped floor", Floor::Shipped, "20260303000000", 4, "is older than 20270101000000"},
        {"the shipped floor itself", Floor::Shipped, "20270101000000", 0, ""},
        {"newer than the shipped floor", Floor::Shipped, "20270102000000", 0, ""},
        {"older than a floor kept under the path", Floor::Legacy, "20270101000000", 4,
         "is older than 20280101000000"},
        {"the newer of both floors holds", Floor::Both, "20270601000000", 4, "is older than 20280101000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(qm::IssuedStateFile());
        const qm::TDownload_Upfile upfile = Component("1", "1", descriptor(c.issued));
        if (c.floor != Floor::Legacy) {
            ASSERT_EQ(upgrade_test::RunSignTool(
                          {"floor", QString::fromStdString(qm::AppPath()), "comp", "20270101000000"})
                          .exitCode,
                      0);
        }
        if (c.floor != Floor::Shipped)
            qm::IniWriteString(qm::IssuedStateFile(), "issued", qm::LegacyComponent(upfile.UpFile),
                               "20280101000000");
        upgrade_test::SignDescriptor(publisher, served_.File("comp/upgrade.zip"));
        const qm::TCheckOutcome outcome = qm::CheckUpgrade(upfile);
        EXPECT_EQ(StateOf(outcome), c.state) << ReasonOf(outcome);
        EXPECT_NE(ReasonOf(outcome).find(c.reasonPart), std::string::npos) << ReasonOf(outcome);
        if (c.state == 0) {
            EXPECT_EQ(qm::LastIssued("/comp/"), c.issued) << "an accepted serial becomes the floor";
        }
    }
    // The tool never lowers a floor.
    EXPECT_EQ(upgrade_test::RunSignTool(
                  {"floor", QString::fromStdString(qm::AppPath()), "/comp/", "20200101000000"})
                  .exitCode,
              0);
    EXPECT_EQ(qm::LastIssued("/comp/"), "20270101000000");
    std::filesystem::remove(qm::IssuedStateFile());
}

// A release made by "qm-sign publish" is what a keyed installation asks for: accepted where it was
// published for, bound to its package's digest and length, expiring as asked, refused elsewhere.
TEST_F(CheckUpgradeTest, TheToolsReleaseIsAcceptedWhereItWasPublishedFor) {
    TTempFolder keys;
    const upgrade_test::TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.Path().string());
    const upgrade_test::TUpdateKeySetting setting(publisher.publicKey);
    std::filesystem::remove(qm::IssuedStateFile());
    qm::EnsureDir(served_.File("comp"));
    const std::string package = served_.File("comp/Setup.run");
    WriteBytes(package, "#!/bin/sh\necho 2\n");
    WriteBytes(keys.File("notes.txt"), "Ver 2 Build 7\nfaster\n");
    const auto publish = [&](const std::string& component, const QStringList& options) {
        QStringList arguments = {"publish",
                                 QString::fromStdString(publisher.secretKeyFile),
                                 QString::fromStdString(package),
                                 QString::fromStdString(server_.URL("/comp/Setup.run")),
                                 "2",
                                 QString::fromStdString(component),
                                 "--notes",
                                 QString::fromStdString(keys.File("notes.txt"))};
        return upgrade_test::RunSignTool(arguments + options).exitCode;
    };
    const struct {
        const char* name;
        std::string component;
        QStringList options;
        int state;
        std::string reasonPart;
    } cases[] = {
        {"published for this component", "/comp/", {"--serial", "20260301"}, 0, ""},
        {"named without slashes", "comp", {"--serial", "20260302", "--days", "1"}, 0, ""},
        {"published for another component", "/other/", {"--serial", "20260303"}, 4, "not for /comp/"},
        {"an older serial", "/comp/", {"--serial", "20260201"}, 4, "is older than 20260302"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(publish(c.component, c.options), 0);
        const std::string served = qm::test::ReadBytes(served_.File("comp/upgrade.zip"));
        WriteBytes(local_.File("Upgrade.txt"),
                   "[upgrade]\nver=1\nurl=" + server_.URL("/comp/Setup.run") + "\n");
        const qm::TCheckOutcome outcome =
            qm::CheckUpgrade({local_.File("Upgrade.txt"), local_.File("state.ini")});
        EXPECT_EQ(StateOf(outcome), c.state) << ReasonOf(outcome) << "\n" << served;
        EXPECT_NE(ReasonOf(outcome).find(c.reasonPart), std::string::npos) << ReasonOf(outcome);
        if (c.state != 0)
            continue;
        ASSERT_EQ(DueOf(outcome).Tasks.size(), 1u);
        EXPECT_EQ(DueOf(outcome).Tasks[0].Sha256, qm::FileSha256(package));
        EXPECT_EQ(DueOf(outcome).Tasks[0].Length, 17);
        EXPECT_EQ(DueOf(outcome).Notes, (std::vector<std::string>{"2", "faster"}))
            << "the version, then the notes";
        // The expiry is the asked number of days on (30 by default), give or take the test's run.
        const std::string expires = qm::TIniDocument::Parse(served).ReadString("upgrade", "expires");
        const std::optional<std::time_t> when = qm::ParseUtcStamp(expires);
        ASSERT_TRUE(when.has_value()) << expires;
        const long days = c.options.contains("--days") ? 1 : 30;
        EXPECT_NEAR(static_cast<double>(*when - std::time(nullptr)), days * 86400.0, 600.0);
    }
    std::filesystem::remove(qm::IssuedStateFile());
}

// One key signs every kind of text, each under a context line of its own: a store list whose signed
// text reads as a descriptor (a name holding line breaks) does not lend its signature to one.
TEST_F(CheckUpgradeTest, AStoreListsSignatureIsNoDescriptors) {
    TTempFolder keys;
    const upgrade_test::TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.Path().string());
    const upgrade_test::TUpdateKeySetting setting(publisher.publicKey);
    std::filesystem::remove(qm::IssuedStateFile());
    const std::string lines = "&#10;[upgrade]&#10;ver=2&#10;issued=20260301&#10;component=/comp/&#10;"
                              "expires=20991231235959&#10;url=" +
                              server_.URL("/comp/Setup.run") + "&#10;sha256=" + std::string(64, 'a') +
                              "&#10;length=10&#10;";
    WriteBytes(keys.File("Issue.xml"),
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<appstore><app id=\"1\" name=\"" + lines +
                   "\"/></appstore>\n");
    upgrade_test::SignStoreList(publisher, keys.File("Issue.xml"));
    const qm::TResult<std::vector<qm::TStoreEntry>> entries = qm::ReadStoreEntries(keys.File("Issue.xml"));
    ASSERT_TRUE(entries);
    const qm::TDownload_Upfile upfile = Component("1", "1", qm::StoreSignedText(*entries));
    qm::test::WriteBytes(served_.File("comp/upgrade.zip.sig"),
                         qm::test::ReadBytes(keys.File("Issue.xml.sig")));
    ASSERT_EQ(qm::TIniDocument::Load(served_.File("comp/upgrade.zip")).ReadString("upgrade", "component"),
              "/comp/")
        << "the store list's text reads as a descriptor";
    const qm::TCheckOutcome outcome = qm::CheckUpgrade(upfile);
    EXPECT_EQ(StateOf(outcome), 4) << ReasonOf(outcome);
    EXPECT_NE(ReasonOf(outcome).find("does not match the descriptor"), std::string::npos)
        << ReasonOf(outcome);
    std::filesystem::remove(qm::IssuedStateFile());
}

// A broken key refuses descriptors too; without a key nothing is asked of them.
TEST_F(CheckUpgradeTest, TheKeySettingDecidesWhetherDescriptorsAreChecked) {
    const std::string unsigned_ = "[upgrade]\nver=2\nurl=" + server_.URL("/pkgs/Setup.run") + "\n";
    {
        const upgrade_test::TUpdateKeySetting setting("12ab");
        const qm::TCheckOutcome outcome = qm::CheckUpgrade(Component("1", "1", unsigned_));
        EXPECT_EQ(StateOf(outcome), 4);
        EXPECT_NE(ReasonOf(outcome).find("not 64 hex digits"), std::string::npos) << ReasonOf(outcome);
    }
    {
        // Under a key a descriptor on plain http from another machine is not even fetched.
        TTempFolder keys;
        const upgrade_test::TUpdateKeySetting setting(
            upgrade_test::MakePublisherKey(keys.Path().string()).publicKey);
        WriteBytes(local_.File("Remote.txt"), "[upgrade]\nver=1\nurl=http://192.0.2.7/comp/Setup.run\n");
        const qm::TCheckOutcome outcome =
            qm::CheckUpgrade({local_.File("Remote.txt"), local_.File("state.ini")});
        EXPECT_EQ(StateOf(outcome), 4);
        EXPECT_NE(ReasonOf(outcome).find("only over https"), std::string::npos) << ReasonOf(outcome);
    }
    const qm::TCheckOutcome outcome = qm::CheckUpgrade(Component("1", "1", unsigned_));
    EXPECT_EQ(StateOf(outcome), 0) << ReasonOf(outcome);
    EXPECT_EQ(DueOf(outcome).Tasks.size(), 1u);
}

TEST(IssueSerials, FormAndOrder) {
    const struct {
        std::string a, b;
        int order;
    } cases[] = {
        {"5", "5", 0},
        {"4", "5", -1},
        {"10", "9", 1},
        {" 007 ", "7", 0},
        {"0", "000", 0},
        {"20260301120000", "20260301115959", 1},
        {"99999999999999999999999999999999999999", "100000000000000000000000000000000000000", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_TRUE(qm::IsIssueSerial(c.a) && qm::IsIssueSerial(c.b));
        EXPECT_EQ(qm::CompareIssued(c.a, c.b), c.order);
        EXPECT_EQ(qm::CompareIssued(c.b, c.a), -c.order);
    }
    const std::vector<std::string> notSerials = {
        "", "  ", "-1", "+1", "1.5", "2026-03-01", "12a", "1 2", std::string(41, '1')};
    for (const std::string& text : notSerials)
        EXPECT_FALSE(qm::IsIssueSerial(text)) << text;
    EXPECT_TRUE(qm::IsIssueSerial(std::string(40, '9')));
}

TEST_F(CheckUpgradeTest, AGbkDescriptorIsReadAsGbk) {
    const std::string notes =
        "[upgrade]\nver=v3.1\nurl=" + server_.URL("/pkgs/Setup.run") + "\nVer 3.1 Build 7\n修正了打印问题\n";
    const qm::TCheckOutcome outcome = qm::CheckUpgrade(Component("3.0", "1", qm::EncodeGbk(notes)));
    ASSERT_TRUE(DueOf(outcome).Notes.has_value());
    EXPECT_EQ(*DueOf(outcome).Notes, (std::vector<std::string>{"Ver 3.1", "修正了打印问题"}));
}

TEST(ReleaseNotes, HeaderVersionLineAndLastLine) {
    const struct {
        const char* name;
        std::string text;
        std::string version;
        std::vector<std::string> notes;
    } cases[] = {
        {"after the header",
         "[upgrade]\r\nver=V2.0\r\nVER 2.0 BUILD 12\r\nfirst\r\n\r\nsecond\r\n",
         "V2.0",
         {"Ver 2.0", "first", "", "second"}},
        {"header in any case, first one counts",
         "x\nver 1 build 2\nbuild VER 3\nlast",
         "2.0",
         {"2.0", "build VER 3", "last"}},
        {"no header: the last line",
         "[upgrade]\nver=v5\nsome note\nlast note\n",
         "v5",
         {"Ver 5", "last note"}},
        {"empty file", "", "V1", {"Ver 1"}},
        {"only the first v", "VER 1 BUILD 1\n", "dev v2", {"deVer  v2"}},
        {"header without a space after VER is none", "VER1 BUILD\nend", "1", {"1", "end"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(qm::BuildReleaseNotes(c.text, c.version), c.notes);
    }
}

} // namespace
