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

TResult<> PackagePasses(const std::string& file, const TPackageCheck& check) {
    if (!SodiumReady())
        return Failure("the signature library cannot be initialised");
    const std::string_view expected = TrimWhitespace(check.Sha256);
    if (!expected.empty()) {
        const std::string actual = FileSha256(file, check.Stop);
        if (actual.empty())
            return Failure("cannot read " + file);
        if (!SameHex(expected, actual))
            return Failure("sha256 mismatch: expected " + std::string(expected) + ", got " + actual);
    }
    const TResult<std::optional<TPublicKey>> key = UpdateKeyToCheck();
    if (!key)
        return key.Error();
    if (!*key)
        return Success();
    const TResult<TSignature> signature = FetchSignature(check.URL, file + ".sig", check.Stop);
    if (!signature)
        return signature.Error();
    if (!FileSignatureMatches(file, *signature, **key))
        return Failure("the signature at " + check.URL + ".sig does not match the package");
    return Success();
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

TResult<> VerifyPackage(const std::string& file, const TPackageCheck& check) {
    // The download window that asked tells the user and writes the log line, with this reason.
    return PackagePasses(file, check);
}

} // namespace qm
