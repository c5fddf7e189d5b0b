#include "upgrade/UpdateSignature.h"

#include "common/BrandingFile.h"
#include "common/Internet.h"
#include "common/LogChannels.h"
#include "common/Paths.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"

#include <QFile>
#include <cstdio>
#include <exception>
#include <sodium.h>

namespace qm {

static_assert(std::tuple_size_v<TPublicKey> == crypto_sign_PUBLICKEYBYTES);
static_assert(std::tuple_size_v<TSignature> == crypto_sign_BYTES);

namespace {

// Exactly out.size() bytes written as hex, nothing else.
template <std::size_t N> bool HexToBytes(std::string_view hex, std::array<unsigned char, N>& out) {
    if (hex.size() != 2 * N)
        return false;
    std::size_t written = 0;
    const char* end = nullptr;
    return sodium_hex2bin(out.data(), out.size(), hex.data(), hex.size(), nullptr, &written, &end) == 0 &&
           written == N && end == hex.data() + hex.size();
}

bool ReadWholeFile(const std::string& file, std::string& bytes) {
    QFile input(QString::fromStdString(file));
    if (!input.open(QIODevice::ReadOnly))
        return false;
    bytes = input.readAll().toStdString();
    return input.error() == QFileDevice::NoError;
}

} // namespace

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

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
    if (!SodiumReady() || !HexToBytes(text, key.bytes)) {
        key.setting = TKeySetting::Broken;
        key.problem = std::string("the configured ") + kUpdatePublicKeyElement + " is not 64 hex digits";
        return key;
    }
    key.setting = TKeySetting::Valid;
    return key;
}

std::optional<TPublicKey> UpdateKeyToCheck(std::string& refusal) {
    TUpdateKey key = ConfiguredUpdateKey();
    if (key.setting == TKeySetting::Broken)
        refusal = key.problem;
    if (key.setting != TKeySetting::Valid)
        return std::nullopt;
    return key.bytes;
}

bool ParseSignature(std::string_view text, TSignature& signature) {
    return SodiumReady() && HexToBytes(TrimWhitespace(text), signature);
}

bool FetchSignature(const std::string& url, const std::string& scratchFile, corvane::TStopToken* stop,
                    TSignature& signature, std::string& reason) {
    const std::string signatureURL = url + ".sig";
    const bool fetched = DownloadFile(signatureURL, scratchFile, stop);
    std::string text;
    const bool read = fetched && ReadWholeFile(scratchFile, text);
    std::remove(scratchFile.c_str());
    if (!fetched || !read) {
        reason = "no signature at " + signatureURL;
        return false;
    }
    if (!ParseSignature(text, signature)) {
        reason = "the signature at " + signatureURL + " is not 128 hex digits";
        return false;
    }
    return true;
}

bool SignatureMatches(std::string_view message, const TSignature& signature, const TPublicKey& key) {
    static const unsigned char kNothing = 0;
    const auto* bytes = message.empty() ? &kNothing : reinterpret_cast<const unsigned char*>(message.data());
    return SodiumReady() &&
           crypto_sign_verify_detached(signature.data(), bytes,
                                       static_cast<unsigned long long>(message.size()), key.data()) == 0;
}

void LogUpdateProblem(const std::string& text) {
    LogWarning(lcUpgrade, text);
}

} // namespace qm
