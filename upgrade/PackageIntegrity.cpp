#include "upgrade/PackageIntegrity.h"

#include "common/BrandingFile.h"
#include "common/Internet.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"
#include "corvane/TransferStop.h"
#include "upgrade/UpdateSignature.h"

#include <QFile>
#include <array>
#include <sodium.h>
#include <string_view>

namespace qm {

namespace {

constexpr qint64 kHashChunk = 1 << 16;

bool FileSignatureMatches(const std::string& file, const TSignature& signature, const TPublicKey& key) {
    QFile input(QString::fromStdString(file));
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = input.size();
    // Plain Ed25519 signs the whole message; mapping the file keeps a large package off the heap.
    static const unsigned char kNothing = 0;
    const unsigned char* bytes = size > 0 ? input.map(0, size) : &kNothing;
    if (bytes == nullptr)
        return false;
    return SignatureMatches(
        std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)), signature,
        key);
}

bool SameHex(std::string_view expected, const std::string& actual) {
    if (expected.size() != actual.size())
        return false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        char c = expected[i];
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != actual[i])
            return false;
    }
    return true;
}

bool PackagePasses(const std::string& file, const TPackageCheck& check, std::string& reason) {
    if (!SodiumReady()) {
        reason = "the signature library cannot be initialised";
        return false;
    }
    const std::string_view expected = TrimWhitespace(check.Sha256);
    if (!expected.empty()) {
        const std::string actual = FileSha256(file, check.Stop);
        if (actual.empty()) {
            reason = "cannot read " + file;
            return false;
        }
        if (!SameHex(expected, actual)) {
            reason = "sha256 mismatch: expected " + std::string(expected) + ", got " + actual;
            return false;
        }
    }
    const std::optional<TPublicKey> key = UpdateKeyToCheck(reason);
    if (!key)
        return reason.empty();
    TSignature signature{};
    if (!FetchSignature(check.URL, file + ".sig", check.Stop, signature, reason))
        return false;
    if (!FileSignatureMatches(file, signature, *key)) {
        reason = "the signature at " + check.URL + ".sig does not match the package";
        return false;
    }
    return true;
}

} // namespace

std::string FileSha256(const std::string& file, const corvane::TStopToken* stop) {
    if (!SodiumReady())
        return {};
    QFile input(QString::fromStdString(file));
    if (!input.open(QIODevice::ReadOnly))
        return {};
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    QByteArray chunk;
    while (!(chunk = input.read(kHashChunk)).isEmpty()) {
        if (stop != nullptr && stop->Stopped())
            return {};
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(chunk.constData()),
                                  static_cast<unsigned long long>(chunk.size()));
    }
    if (input.error() != QFileDevice::NoError)
        return {};
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256_final(&state, digest.data());
    std::string hex(2 * digest.size() + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    hex.pop_back();
    return hex;
}

bool VerifyPackage(const std::string& file, const TPackageCheck& check, std::string& reason) {
    // The download window that asked tells the user and writes the log line, with this reason.
    return PackagePasses(file, check, reason);
}

} // namespace qm
