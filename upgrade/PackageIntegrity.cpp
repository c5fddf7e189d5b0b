#include "upgrade/PackageIntegrity.h"

#include "common/BrandingFile.h"
#include "common/Internet.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"
#include "corvane/TransferStop.h"

#include <QFile>
#include <array>
#include <cstdio>
#include <exception>
#include <sodium.h>
#include <string_view>

namespace qm {

namespace {

constexpr qint64 kHashChunk = 1 << 16;

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// Exactly out.size() bytes written as hex, nothing else.
template <std::size_t N> bool HexToBytes(std::string_view hex, std::array<unsigned char, N>& out) {
    if (hex.size() != 2 * N)
        return false;
    std::size_t written = 0;
    const char* end = nullptr;
    return sodium_hex2bin(out.data(), out.size(), hex.data(), hex.size(), nullptr, &written, &end) == 0 &&
           written == N && end == hex.data() + hex.size();
}

using TPublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;
using TSignature = std::array<unsigned char, crypto_sign_BYTES>;

enum class TKeySetting { Absent, Valid, Broken };

struct TUpdateKey {
    TKeySetting setting = TKeySetting::Absent;
    TPublicKey bytes{};
    std::string problem;
};

TUpdateKey ConfiguredUpdateKey() {
    TUpdateKey key;
    std::string text;
    try {
        TXmlConfig branding;
        if (!OpenBrandingFile(branding))
            return key;
        text = std::string(TrimWhitespace(branding.ReadString(kUpdatePublicKeyElement)));
    } catch (const std::exception& error) {
        key.setting = TKeySetting::Broken;
        key.problem = "the branding file cannot be read: " + std::string(error.what());
        return key;
    }
    if (text.empty())
        return key;
    if (!HexToBytes(text, key.bytes)) {
        key.setting = TKeySetting::Broken;
        key.problem = std::string("the configured ") + kUpdatePublicKeyElement + " is not 64 hex digits";
        return key;
    }
    key.setting = TKeySetting::Valid;
    return key;
}

bool ReadWholeFile(const std::string& file, std::string& bytes) {
    QFile input(QString::fromStdString(file));
    if (!input.open(QIODevice::ReadOnly))
        return false;
    bytes = input.readAll().toStdString();
    return true;
}

bool FetchSignature(const std::string& file, const std::string& url, corvane::TStopToken* stop,
                    TSignature& signature, std::string& reason) {
    const std::string signatureURL = url + ".sig";
    const std::string signatureFile = file + ".sig";
    const bool fetched = DownloadFile(signatureURL, signatureFile, stop);
    std::string text;
    const bool read = ReadWholeFile(signatureFile, text);
    std::remove(signatureFile.c_str());
    if (!fetched || !read) {
        reason = "no signature at " + signatureURL;
        return false;
    }
    if (!HexToBytes(TrimWhitespace(text), signature)) {
        reason = "the signature at " + signatureURL + " is not 128 hex digits";
        return false;
    }
    return true;
}

bool SignatureMatches(const std::string& file, const TSignature& signature, const TPublicKey& key) {
    QFile input(QString::fromStdString(file));
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = input.size();
    // Plain Ed25519 signs the whole message; mapping the file keeps a large package off the heap.
    static const unsigned char kNothing = 0;
    const unsigned char* bytes = size > 0 ? input.map(0, size) : &kNothing;
    if (bytes == nullptr)
        return false;
    return crypto_sign_verify_detached(signature.data(), bytes, static_cast<unsigned long long>(size),
                                       key.data()) == 0;
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
    const TUpdateKey key = ConfiguredUpdateKey();
    if (key.setting == TKeySetting::Absent)
        return true;
    if (key.setting == TKeySetting::Broken) {
        reason = key.problem;
        return false;
    }
    TSignature signature{};
    if (!FetchSignature(file, check.URL, check.Stop, signature, reason))
        return false;
    if (!SignatureMatches(file, signature, key.bytes)) {
        reason = "the signature at " + check.URL + ".sig does not match the package";
        return false;
    }
    return true;
}

} // namespace qm
