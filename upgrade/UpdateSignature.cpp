#include "upgrade/UpdateSignature.h"

#include "common/BrandingFile.h"
#include "common/FileBytes.h"
#include "common/Internet.h"
#include "common/Paths.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"

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

} // namespace

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

TResult<std::optional<TPublicKey>> UpdateKeyToCheck() {
    std::string text;
    try {
        TXmlConfig branding;
        if (!OpenBrandingFile(branding))
            return std::optional<TPublicKey>();
        text = std::string(TrimWhitespace(branding.ReadString(kUpdatePublicKeyElement)));
    } catch (const std::exception& error) {
        return Failure("the branding file cannot be read: " + std::string(error.what()));
    }
    if (text.empty())
        return std::optional<TPublicKey>();
    TPublicKey key{};
    if (!SodiumReady() || !HexToBytes(text, key))
        return Failure(std::string("the configured ") + kUpdatePublicKeyElement + " is not 64 hex digits");
    return std::optional<TPublicKey>(key);
}

TResult<TSignature> ParseSignature(std::string_view text) {
    TSignature signature{};
    if (!SodiumReady() || !HexToBytes(TrimWhitespace(text), signature))
        return Failure("not 128 hex digits");
    return signature;
}

TResult<TSignature> FetchSignature(const std::string& url, const std::string& scratchFile,
                                   corvane::TStopToken* stop) {
    const std::string signatureURL = url + ".sig";
    const TFetchAnswer answer = FetchFile(signatureURL, scratchFile, stop);
    const TResult<std::string> text =
        answer == TFetchAnswer::Fetched ? ReadFileBytes(scratchFile) : Failure("not fetched");
    std::remove(scratchFile.c_str());
    if (answer == TFetchAnswer::Unreachable)
        return Failure("the signature at " + signatureURL + " cannot be fetched", {}, kSignatureUnreachable);
    if (!text)
        return Failure("no signature at " + signatureURL);
    TResult<TSignature> signature = ParseSignature(*text);
    if (!signature)
        return Failure("the signature at " + signatureURL + " is not 128 hex digits");
    return signature;
}

bool SignatureMatches(std::string_view message, const TSignature& signature, const TPublicKey& key) {
    static const unsigned char kNothing = 0;
    const auto* bytes = message.empty() ? &kNothing : reinterpret_cast<const unsigned char*>(message.data());
    return SodiumReady() &&
           crypto_sign_verify_detached(signature.data(), bytes,
                                       static_cast<unsigned long long>(message.size()), key.data()) == 0;
}

} // namespace qm
