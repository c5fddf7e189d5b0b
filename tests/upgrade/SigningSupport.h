#pragma once

#include "common/Paths.h"
#include "common/TaxLog.h"
#include "tests/common/TestFiles.h"
#include "upgrade/PackageIntegrity.h"

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <stdexcept>
#include <string>

// Signed packages in tests: the real qm-sign tool makes the keys and signatures, and the test
// installation's branding file configures the update public key.
namespace upgrade_test {

struct TToolRun {
    int exitCode = -1;
    std::string out;
};

// Runs qm-sign with the arguments and waits for it.
inline TToolRun RunSignTool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral(QM_SIGN_TOOL), arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        throw std::runtime_error("qm-sign did not run");
    return {tool.exitCode(), tool.readAllStandardOutput().trimmed().toStdString()};
}

// A publisher's key pair: the secret key file in folder, the public key as printed for
// "update_publickey".
struct TPublisherKey {
    std::string secretKeyFile;
    std::string publicKey;
};

inline TPublisherKey MakePublisherKey(const std::string& folder, const std::string& name = "publisher.key") {
    TPublisherKey key{folder + "/" + name, {}};
    const TToolRun run = RunSignTool({"keygen", QString::fromStdString(key.secretKeyFile)});
    if (run.exitCode != 0)
        throw std::runtime_error("qm-sign keygen failed");
    key.publicKey = run.out;
    return key;
}

// Signs package (writes package + ".sig"); answers the "sha256=..." line the tool prints.
inline std::string SignPackage(const TPublisherKey& key, const std::string& package) {
    const TToolRun run =
        RunSignTool({"sign", QString::fromStdString(key.secretKeyFile), QString::fromStdString(package)});
    if (run.exitCode != 0)
        throw std::runtime_error("qm-sign sign failed");
    return run.out;
}

// Signs an update descriptor with qm-sign sign-descriptor (writes descriptor + ".sig").
inline void SignDescriptor(const TPublisherKey& key, const std::string& descriptor) {
    const TToolRun run = RunSignTool(
        {"sign-descriptor", QString::fromStdString(key.secretKeyFile), QString::fromStdString(descriptor)});
    if (run.exitCode != 0)
        throw std::runtime_error("qm-sign sign-descriptor failed");
}

// The lines a descriptor names a package by, for the package at file: "sha256=...\nlength=...".
inline std::string PackageLines(const std::string& file) {
    const std::string bytes = qm::test::ReadBytes(file);
    return "sha256=" + qm::FileSha256(file) + "\nlength=" + std::to_string(bytes.size());
}

// Signs the store list with qm-sign sign-store (writes storeList + ".sig").
inline void SignStoreList(const TPublisherKey& key, const std::string& storeList) {
    const TToolRun run = RunSignTool(
        {"sign-store", QString::fromStdString(key.secretKeyFile), QString::fromStdString(storeList)});
    if (run.exitCode != 0)
        throw std::runtime_error("qm-sign sign-store failed");
}

// How many times text occurs in this month's log of the test installation.
inline std::size_t CountInLog(const std::string& text) {
    const std::string log = qm::test::ReadBytes(qm::TTaxLog::LogFileName());
    std::size_t count = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++count;
    return count;
}

// While it lives, the test installation's "brennik.xml" configures keyText as the update public
// key (written as it is, so a broken key can be set up too). The file is removed again afterwards.
class TUpdateKeySetting {
public:
    explicit TUpdateKeySetting(const std::string& keyText) {
        qm::EnsureDir(qm::ConfigPath());
        qm::test::WriteBytes(File(),
                             "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<root><update_publickey>" +
                                 keyText + "</update_publickey></root>\r\n");
    }
    ~TUpdateKeySetting() { std::filesystem::remove(File()); }
    TUpdateKeySetting(const TUpdateKeySetting&) = delete;
    TUpdateKeySetting& operator=(const TUpdateKeySetting&) = delete;

    static std::string File() { return qm::ConfigPath() + "brennik.xml"; }
};

} // namespace upgrade_test
