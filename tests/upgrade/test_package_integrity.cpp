// Package integrity: the digest and the detached signature of a downloaded package, made with the
// real qm-sign tool, served by the real reference server, checked by VerifyPackage directly and by
// the download window before it runs an installer; and the signature of the store list.
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "tests/upgrade/SigningSupport.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/PackageIntegrity.h"
#include "upgrade/StoreApp.h"
#include "upgrade/UpdateSignature.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>

namespace {

using corvane::IDataDocument;
using corvane::TakeDataDocument;
using qm::test::ReadBytes;
using qm::test::TTempFolder;
using qm::test::WriteBytes;
using upgrade_test::TOnline;
using upgrade_test::TPublisherKey;
using upgrade_test::TRequester;
using upgrade_test::TUpdateKeySetting;
using upgrade_test::WaitUntil;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

class PackageIntegrityTest : public ::testing::Test {
protected:
    // Publishes bytes under name, signed with key unless key is null.
    void Publish(const std::string& name, const std::string& bytes, const TPublisherKey* key) {
        WriteBytes(served_.File(name), bytes);
        if (key != nullptr)
            upgrade_test::SignPackage(*key, served_.File(name));
    }

    TTempFolder keys_;
    TTempFolder served_;
    TTempFolder local_;
    qm::test::ReferenceServer server_{served_.Path(), {"--test-routes"}};
};

TEST_F(PackageIntegrityTest, DigestAndSignatureDecideTogether) {
    const TPublisherKey publisher = upgrade_test::MakePublisherKey(keys_.Path().string());
    const TPublisherKey stranger = upgrade_test::MakePublisherKey(keys_.Path().string(), "stranger.key");
    Publish("good.run", "#!/bin/sh\necho good\n", &publisher);
    Publish("other.run", "#!/bin/sh\necho other\n", &publisher);
    Publish("stranger.run", "#!/bin/sh\necho stranger\n", &stranger);
    Publish("unsigned.run", "#!/bin/sh\necho unsigned\n", nullptr);
    Publish("garbage.run", "#!/bin/sh\necho garbage\n", nullptr);
    WriteBytes(served_.File("garbage.run.sig"), "not a signature\n");
    Publish("swapped.run", "#!/bin/sh\necho swapped\n", nullptr);
    WriteBytes(served_.File("swapped.run.sig"), ReadBytes(served_.File("other.run.sig")));
    Publish("empty.run", "", &publisher);
    Publish("as-descriptor.run", "#!/bin/sh\necho descriptor\n", nullptr);
    upgrade_test::SignDescriptor(publisher, served_.File("as-descriptor.run"));
    const std::int64_t goodLength = static_cast<std::int64_t>(ReadBytes(served_.File("good.run")).size());

    const std::string goodDigest = qm::FileSha256(served_.File("good.run"));
    ASSERT_EQ(goodDigest.size(), 64u);
    EXPECT_EQ("sha256=" + goodDigest + "\nlength=" + std::to_string(goodLength),
              upgrade_test::SignPackage(publisher, served_.File("good.run")))
        << "the tool prints the digest and length the descriptor needs";

    const std::string noKey = "(none)";
    const struct {
        const char* name;
        std::string served; // where the package came from
        std::string local;  // the downloaded bytes; "" = the served bytes
        std::string sha256; // expected digest
        std::string keySetting;
        bool passes;
        std::string reasonPart;
        std::int64_t length = -1; // expected length
        std::string url = "";     // where it came from, when not the reference server
    } cases[] = {
        {"no digest, no key", "unsigned.run", "", "", noKey, true, ""},
        {"right digest", "unsigned.run", "", qm::FileSha256(served_.File("unsigned.run")), noKey, true, ""},
        {"digest in capitals with blanks", "good.run", "", "  " + Upper(goodDigest) + "\n", noKey, true, ""},
        {"wrong digest", "good.run", "", std::string(64, '0'), noKey, false, "sha256 mismatch"},
        {"digest of a changed download", "good.run", "#!/bin/sh\necho evil\n", goodDigest, noKey, false,
         "sha256 mismatch"},
        {"without a key a bad signature is not looked at", "garbage.run", "", "", noKey, true, ""},
        {"blank key setting means no key", "unsigned.run", "", "", "  ", true, ""},
        {"signed", "good.run", "", "", publisher.publicKey, true, ""},
        {"signed, key in capitals", "good.run", "", "", Upper(publisher.publicKey), true, ""},
        {"signed and right digest", "good.run", "", goodDigest, publisher.publicKey, true, ""},
        {"signed but wrong digest", "good.run", "", std::string(64, 'a'), publisher.publicKey, false,
         "sha256 mismatch"},
        {"empty package signed", "empty.run", "", "", publisher.publicKey, true, ""},
        {"no signature", "unsigned.run", "", "", publisher.publicKey, false, "no signature at"},
        {"signature not hex", "garbage.run", "", "", publisher.publicKey, false, "not 128 hex digits"},
        {"signature of another package", "swapped.run", "", "", publisher.publicKey, false, "does not match"},
        {"signed by another key", "stranger.run", "", "", publisher.publicKey, false, "does not match"},
        {"download changed after signing", "good.run", "#!/bin/sh\necho evil\n", "", publisher.publicKey,
         false, "does not match"},
        {"broken key refuses everything", "good.run", "", "", "12ab", false, "not 64 hex digits"},
        {"the signed length", "good.run", "", goodDigest, publisher.publicKey, true, "", goodLength},
        {"longer than the signed length", "good.run", "", "", noKey, false, "length mismatch",
         goodLength - 1},
        {"shorter than the signed length", "good.run", "", "", publisher.publicKey, false, "length mismatch",
         goodLength + 1},
        {"signed as a descriptor", "as-descriptor.run", "", "", publisher.publicKey, false, "does not match"},
        {"plain http to another machine under a key", "good.run", "", goodDigest, publisher.publicKey, false,
         "only over https", -1, "http://192.0.2.7/good.run"},
        {"plain http to another machine without a key", "good.run", "", goodDigest, noKey, true, "", -1,
         "http://192.0.2.7/good.run"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<TUpdateKeySetting> setting;
        if (c.keySetting != noKey)
            setting = std::make_unique<TUpdateKeySetting>(c.keySetting);
        const std::string local = local_.File(c.served);
        WriteBytes(local, c.local.empty() ? ReadBytes(served_.File(c.served)) : c.local);
        const qm::TResult<> verdict = qm::VerifyPackage(
            local, {c.sha256, c.length, c.url.empty() ? server_.URL("/" + c.served) : c.url});
        EXPECT_EQ(verdict.Ok(), c.passes);
        if (c.passes)
            EXPECT_EQ(verdict.Reason(), "");
        else
            EXPECT_NE(verdict.Reason().find(c.reasonPart), std::string::npos) << verdict.Reason();
        EXPECT_FALSE(qm::FileExists(local + ".sig")) << "the fetched signature is not left behind";
    }
}

// A signature the network or the server cannot give is a failure to fetch, which a later try may
// mend; one the server says it does not have is a refusal.
TEST_F(PackageIntegrityTest, ASignatureThatCannotBeFetchedIsNotARefusal) {
    const TPublisherKey publisher = upgrade_test::MakePublisherKey(keys_.Path().string());
    Publish("good.run", "#!/bin/sh\necho good\n", &publisher);
    Publish("unsigned.run", "#!/bin/sh\necho unsigned\n", nullptr);
    const TUpdateKeySetting setting(publisher.publicKey);
    const struct {
        const char* name;
        std::string url;
        int code;
    } cases[] = {
        {"served without its signature", server_.URL("/unsigned.run"), 0},
        {"its signature answered with 503", server_.URL("/nosig/good.run"), qm::kSignatureUnreachable},
        {"no server", "http://127.0.0.1:1/good.run", qm::kSignatureUnreachable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string local = local_.File("package.run");
        WriteBytes(local, ReadBytes(served_.File("good.run")));
        const qm::TResult<> verdict =
            qm::VerifyPackage(local, {qm::FileSha256(local),
                                      static_cast<std::int64_t>(std::filesystem::file_size(local)), c.url});
        EXPECT_FALSE(verdict.Ok());
        EXPECT_EQ(verdict.Code(), c.code) << verdict.Reason();
    }
}

TEST_F(PackageIntegrityTest, ABrandingFileThatDoesNotParseRefusesPackages) {
    Publish("setup.run", "#!/bin/sh\n", nullptr);
    TUpdateKeySetting setting("x");
    WriteBytes(TUpdateKeySetting::File(), "<root><update_publickey>");
    WriteBytes(local_.File("setup.run"), "#!/bin/sh\n");
    const qm::TResult<> verdict =
        qm::VerifyPackage(local_.File("setup.run"), {"", -1, server_.URL("/setup.run")});
    EXPECT_FALSE(verdict);
    EXPECT_NE(verdict.Reason().find("branding file"), std::string::npos) << verdict.Reason();
}

TEST_F(PackageIntegrityTest, TheToolKeepsItsKeyAndChecksWhatItSigned) {
    const TPublisherKey publisher = upgrade_test::MakePublisherKey(keys_.Path().string());
    EXPECT_EQ(publisher.publicKey.size(), 64u);
    EXPECT_EQ(std::filesystem::status(publisher.secretKeyFile).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string secret = ReadBytes(publisher.secretKeyFile);
    EXPECT_NE(upgrade_test::RunSignTool({"keygen", QString::fromStdString(publisher.secretKeyFile)}).exitCode,
              0);
    EXPECT_EQ(ReadBytes(publisher.secretKeyFile), secret) << "an existing key is never replaced";

    Publish("pkg.zip", "archive bytes", &publisher);
    const QString package = QString::fromStdString(served_.File("pkg.zip"));
    EXPECT_EQ(
        upgrade_test::RunSignTool({"verify", QString::fromStdString(publisher.publicKey), package}).exitCode,
        0);
    WriteBytes(served_.File("pkg.zip"), "archive bytez");
    EXPECT_EQ(
        upgrade_test::RunSignTool({"verify", QString::fromStdString(publisher.publicKey), package}).exitCode,
        1);
    WriteBytes(served_.File("pkg.zip"), "archive bytes");
    EXPECT_EQ(
        upgrade_test::RunSignTool({"verify-descriptor", QString::fromStdString(publisher.publicKey), package})
            .exitCode,
        1)
        << "a package's signature is no descriptor's";
    upgrade_test::SignDescriptor(publisher, served_.File("pkg.zip"));
    EXPECT_EQ(
        upgrade_test::RunSignTool({"verify-descriptor", QString::fromStdString(publisher.publicKey), package})
            .exitCode,
        0);
    EXPECT_EQ(
        upgrade_test::RunSignTool({"verify", QString::fromStdString(publisher.publicKey), package}).exitCode,
        1)
        << "and a descriptor's no package's";
    EXPECT_EQ(upgrade_test::RunSignTool({"frobnicate"}).exitCode, 2);
}

// Under a key the store list is read only when its signed text (the install-relevant attributes of
// every entry) matches "Issue.xml.sig" beside it, signed by the real tool.
TEST_F(PackageIntegrityTest, TheStoreListIsReadOnlyWithItsSignature) {
    const TPublisherKey publisher = upgrade_test::MakePublisherKey(keys_.Path().string());
    const TPublisherKey stranger = upgrade_test::MakePublisherKey(keys_.Path().string(), "stranger.key");
    const std::string list = qm::IssueFile();
    const std::string signature = list + ".sig";
    const std::string digest(64, 'd');
    const std::string original =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<appstore><category id=\"tools\">\r\n"
        "  <app id=\"3001\" key=\"QM-NOTES\" name=\"税务便签\" ver=\"1.1\" params=\"-q\" "
        "url=\"http://127.0.0.1:9/setup.run\" sha256=\"" +
        digest +
        "\" price_desc=\"免费\" intro_url=\"http://127.0.0.1:9/\"/>\r\n"
        "  <app id=\"1001\" name=\"个税\" ver=\"1.2\" url=\"http://127.0.0.1:9/1001.run\"/>\r\n"
        "</category></appstore>\r\n";
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = original;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::string noKey = "(none)";
    const std::string refused = "未通过签名校验";
    const struct {
        const char* name;
        std::string listText; // written after signing the original
        const TPublisherKey* signer;
        std::string keySetting;
        std::string url; // of 3001 when the list is read; else the message part
    } cases[] = {
        {"signed", original, &publisher, publisher.publicKey, "http://127.0.0.1:9/setup.run"},
        {"presentation attributes changed", replaced("price_desc=\"免费\"", "price_desc=\"98元/年\" x=\"1\""),
         &publisher, publisher.publicKey, "http://127.0.0.1:9/setup.run"},
        {"forged url", replaced("127.0.0.1:9/setup.run", "127.0.0.1:9/evil.run"), &publisher,
         publisher.publicKey, refused},
        {"forged url of another entry", replaced("1001.run", "evil.run"), &publisher, publisher.publicKey,
         refused},
        {"forged sha256", replaced(digest, std::string(64, 'e')), &publisher, publisher.publicKey, refused},
        {"forged params", replaced("params=\"-q\"", "params=\"-x\""), &publisher, publisher.publicKey,
         refused},
        {"an entry added",
         replaced("</category>", "<app id=\"9\" url=\"http://127.0.0.1:9/x.run\"/></category>"), &publisher,
         publisher.publicKey, refused},
        {"an entry's value moved into the next attribute",
         replaced("ver=\"1.1\" params=\"-q\"", "ver=\"1.1 params 2 -q\" params=\"\""), &publisher,
         publisher.publicKey, refused},
        {"no signature", original, nullptr, publisher.publicKey, refused},
        {"signed by another key", original, &stranger, publisher.publicKey, refused},
        {"broken key", original, &publisher, "12ab", refused},
        {"no key: no signature asked for", replaced("127.0.0.1:9/setup.run", "127.0.0.1:9/other.run"),
         nullptr, noKey, "http://127.0.0.1:9/other.run"},
    };
    qm::EnsureDir(qm::PluginsPath() + "Appstore");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(signature);
        WriteBytes(list, original);
        if (c.signer != nullptr)
            upgrade_test::SignStoreList(*c.signer, list);
        WriteBytes(list, c.listText);
        std::unique_ptr<TUpdateKeySetting> setting;
        if (c.keySetting != noKey)
            setting = std::make_unique<TUpdateKeySetting>(c.keySetting);
        const std::size_t loggedBefore = upgrade_test::CountInLog("拒绝应用商店列表");
        if (c.url == refused) {
            try {
                qm::FindStoreApp("3001");
                ADD_FAILURE() << "the list was read";
            } catch (const corvane::EPlugin& error) {
                EXPECT_NE(std::string(error.what()).find(refused), std::string::npos) << error.what();
            }
            EXPECT_EQ(upgrade_test::CountInLog("拒绝应用商店列表"), loggedBefore + 1);
        } else {
            const std::optional<qm::TStoreApp> app = qm::FindStoreApp("3001");
            ASSERT_TRUE(app.has_value());
            EXPECT_EQ(app->url, c.url);
            EXPECT_EQ(app->sha256, digest);
            EXPECT_EQ(app->params, "-q");
            EXPECT_FALSE(qm::FindStoreApp("42").has_value());
            EXPECT_EQ(upgrade_test::CountInLog("拒绝应用商店列表"), loggedBefore);
        }
    }
    // Under a key an entry must name its installer's digest; without one it need not.
    WriteBytes(list, original);
    upgrade_test::SignStoreList(publisher, list);
    for (const bool keyed : {true, false}) {
        SCOPED_TRACE(keyed ? "keyed" : "no key");
        std::unique_ptr<TUpdateKeySetting> setting;
        if (keyed)
            setting = std::make_unique<TUpdateKeySetting>(publisher.publicKey);
        const std::size_t loggedBefore = upgrade_test::CountInLog("names no sha256 of its installer");
        try {
            EXPECT_EQ(qm::FindStoreApp("1001").value().url, "http://127.0.0.1:9/1001.run");
            EXPECT_FALSE(keyed) << "an entry without its installer's sha256 was read";
        } catch (const corvane::EPlugin& error) {
            EXPECT_TRUE(keyed) << error.what();
            EXPECT_NE(std::string(error.what()).find("没有安装程序的sha256"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(upgrade_test::CountInLog("names no sha256 of its installer"),
                  loggedBefore + (keyed ? 1 : 0));
    }
    std::filesystem::remove(signature);
    std::filesystem::remove(list);
}

// The download window checks before it runs: a refused installer is never started, is deleted, and
// the requester hears 4.
TEST_F(PackageIntegrityTest, ARefusedInstallerIsDeletedUnrunAndReportedFailed) {
    TOnline online(true);
    const std::string upgradeLibrary = qm::AppPath() + "Upgrade.dll";
    const TPublisherKey publisher = upgrade_test::MakePublisherKey(keys_.Path().string());
    const std::string installer = upgrade_test::MarkerInstaller();
    Publish("signed.run", installer, &publisher);
    Publish("unsigned.run", installer, nullptr);
    const std::string digest = qm::FileSha256(served_.File("signed.run"));
    const struct {
        const char* name;
        std::string served;
        std::string sha256;
        bool keyConfigured;
        int result;
    } cases[] = {
        {"right digest", "unsigned.run", digest, false, 3},
        {"wrong digest", "unsigned.run", std::string(64, 'f'), false, 4},
        {"signed", "signed.run", digest, true, 3},
        {"unsigned under a key", "unsigned.run", "", true, 4},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<TUpdateKeySetting> setting;
        if (c.keyConfigured)
            setting = std::make_unique<TUpdateKeySetting>(publisher.publicKey);
        const std::string local = local_.File("setup" + std::to_string(++run) + ".run");
        const std::string marker = local_.File("marker" + std::to_string(run));
        TRequester requester;
        IDataDocument request = TakeDataDocument(2, 0);
        request->SetString("IntelFile", server_.URL("/" + c.served));
        request->SetString("LocalFile", local);
        request->SetString("params", marker);
        request->SetString("sha256", c.sha256);
        request->SetString("appid", "1");
        qm::SetCallBackTarget(*request, requester);
        corvane::Khan().Invoke(upgradeLibrary, request);
        ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
        EXPECT_EQ(requester.results, std::vector<int>{c.result});
        EXPECT_EQ(qm::FileExists(marker), c.result == 3) << "only a package that passes is run";
        EXPECT_FALSE(qm::FileExists(local)) << "run or refused, the download does not stay";
        corvane::Khan().Invoke(upgradeLibrary, TakeDataDocument(99, 0));
    }
    corvane::Khan().Invoke(upgradeLibrary, TakeDataDocument(99, 0));
    corvane::Khan_Free();
}

} // namespace
