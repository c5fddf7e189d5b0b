#include "upgrade/PackageIntegrity.h"

#include "common/BrandingFile.h"
#include "common/Internet.h"
#include "common/SignedKinds.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"
#include "corvane/TransferStop.h"
#include "upgrade/UpdateAddress.h"
#include "upgrade/UpdateSignature.h"

#include <QFile>
#include <array>
#include <filesystem>
#include <sodium.h>
#include <string_view>

namespace qm {

namespace {

constexpr qint64 kHashChunk = 1 << 16;

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
    std::error_code error;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file, error));
    if (error)
        return Failure("cannot read " + file);
    if (check.Length >= 0 && size != check.Length)
        return Failure("length mismatch: expected " + std::to_string(check.Length) + " bytes, got " +
                       std::to_string(size));
    const TResult<std::optional<TPublicKey>> key = UpdateKeyToCheck();
    if (!key)
        return key.Error();
    const std::string_view expected = TrimWhitespace(check.Sha256);
    if (expected.empty() && !*key)
        return Success();
    const std::string actual = FileSha256(file, check.Stop);
    if (actual.empty())
        return Failure("cannot read " + file);
    if (!expected.empty() && !SameHex(expected, actual))
        return Failure("sha256 mismatch: expected " + std::string(expected) + ", got " + actual);
    if (!*key)
        return Success();
    if (TResult<> allowed = UpdateAddressAllowed(check.URL); !allowed)
        return allowed;
    const TResult<TSignature> signature = FetchSignature(check.URL, file + ".sig", check.Stop);
    if (!signature)
        return signature.Error();
    if (!SignatureMatches(PackageSignedText(size, actual), *signature, **key))
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
