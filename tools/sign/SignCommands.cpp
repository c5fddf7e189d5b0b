#include "tools/sign/SignCommands.h"

#include "common/FileBytes.h"
#include "common/SignedKinds.h"
#include "common/StoreListText.h"
#include "common/TextTrim.h"

#include <array>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sodium.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::sign {

namespace {

using TSecretKey = std::array<unsigned char, crypto_sign_SECRETKEYBYTES>;
using TPublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;
using TSignature = std::array<unsigned char, crypto_sign_BYTES>;

template <std::size_t N> std::string ToHex(const std::array<unsigned char, N>& bytes) {
    std::string hex(2 * N + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    hex.pop_back();
    return hex;
}

template <std::size_t N> bool FromHex(std::string_view text, std::array<unsigned char, N>& bytes) {
    text = TrimWhitespace(text);
    std::size_t written = 0;
    const char* end = nullptr;
    return text.size() == 2 * N &&
           sodium_hex2bin(bytes.data(), N, text.data(), text.size(), nullptr, &written, &end) == 0 &&
           written == N && end == text.data() + text.size();
}

std::string Sha256Hex(const std::string& bytes) {
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return ToHex(digest);
}

// The secret key in secretKeyFile; false (and said why) when it holds none.
bool ReadSecretKey(const std::string& secretKeyFile, TSecretKey& secretKey, std::ostream& err) {
    const TResult<std::string> keyText = ReadFileBytes(secretKeyFile);
    if (!keyText || !FromHex(*keyText, secretKey)) {
        err << "qm-sign: " << secretKeyFile << " holds no secret key\n";
        return false;
    }
    return true;
}

// Signs message with the key in secretKeyFile and writes the signature (hex and a line break) to
// signatureFile; false (and said why) when it cannot.
bool WriteSignature(const std::string& secretKeyFile, const std::string& message,
                    const std::string& signatureFile, std::ostream& err) {
    TSecretKey secretKey{};
    if (!ReadSecretKey(secretKeyFile, secretKey, err))
        return false;
    TSignature signature{};
    crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size(), secretKey.data());
    sodium_memzero(secretKey.data(), secretKey.size());
    std::ofstream output(signatureFile, std::ios::binary | std::ios::trunc);
    output << ToHex(signature) << "\n";
    output.close();
    if (!output) {
        err << "qm-sign: cannot write " << signatureFile << "\n";
        return false;
    }
    return true;
}

// Checks the signature in signatureFile of message against the public key in hex: 0 when it
// matches, 1 when it does not, 2 when something cannot be read.
int CheckSignature(const std::string& publicKeyHex, const std::string& message,
                   const std::string& signatureFile, const std::string& what, std::ostream& out,
                   std::ostream& err) {
    TPublicKey publicKey{};
    if (!FromHex(publicKeyHex, publicKey)) {
        err << "qm-sign: the public key must be 64 hex digits\n";
        return 2;
    }
    const TResult<std::string> signatureText = ReadFileBytes(signatureFile);
    TSignature signature{};
    if (!signatureText || !FromHex(*signatureText, signature)) {
        err << "qm-sign: cannot read the signature " << signatureFile << "\n";
        return 2;
    }
    if (crypto_sign_verify_detached(signature.data(), reinterpret_cast<const unsigned char*>(message.data()),
                                    message.size(), publicKey.data()) != 0) {
        err << "qm-sign: the signature does not match " << what << "\n";
        return 1;
    }
    out << "good signature\n";
    return 0;
}

// The signed text of the store list; false (and said why) when the list cannot be read.
bool StoreText(const std::string& storeList, std::string& text, std::size_t& count, std::ostream& err) {
    const TResult<std::vector<TStoreEntry>> entries = ReadStoreEntries(storeList);
    if (!entries) {
        err << "qm-sign: cannot read the store list " << storeList << ": " << entries.Reason() << "\n";
        return false;
    }
    text = StoreSignedText(*entries);
    count = entries->size();
    return true;
}

// The file's bytes, or nothing after saying it cannot be read.
std::optional<std::string> ReadInput(const std::string& file, std::ostream& err) {
    TResult<std::string> bytes = ReadFileBytes(file);
    if (!bytes) {
        err << "qm-sign: cannot read " << file << "\n";
        return std::nullopt;
    }
    return std::move(*bytes);
}

bool Ready(std::ostream& err) {
    if (sodium_init() >= 0)
        return true;
    err << "qm-sign: the signature library cannot be initialised\n";
    return false;
}

} // namespace

int KeyGen(const std::string& secretKeyFile, std::ostream& out, std::ostream& err) {
    if (!Ready(err))
        return 2;
    TPublicKey publicKey{};
    TSecretKey secretKey{};
    crypto_sign_keypair(publicKey.data(), secretKey.data());
    const std::string text = ToHex(secretKey) + "\n";
    sodium_memzero(secretKey.data(), secretKey.size());
    // Created here, owner-only, never over an existing key: losing a key loses every installation.
    const int fd = ::open(secretKeyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        err << "qm-sign: cannot create " << secretKeyFile << " (it must not exist yet)\n";
        return 1;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        err << "qm-sign: cannot write " << secretKeyFile << "\n";
        ::unlink(secretKeyFile.c_str());
        return 1;
    }
    out << ToHex(publicKey) << "\n";
    return 0;
}

int Sign(const std::string& secretKeyFile, const std::string& package, std::ostream& out, std::ostream& err) {
    if (!Ready(err))
        return 2;
    const std::optional<std::string> bytes = ReadInput(package, err);
    if (!bytes)
        return 1;
    const std::string digest = Sha256Hex(*bytes);
    const auto length = static_cast<std::int64_t>(bytes->size());
    if (!WriteSignature(secretKeyFile, PackageSignedText(length, digest), package + ".sig", err))
        return 1;
    out << "sha256=" << digest << "\nlength=" << length << "\n";
    return 0;
}

int Verify(const std::string& publicKeyHex, const std::string& package, std::ostream& out,
           std::ostream& err) {
    if (!Ready(err))
        return 2;
    const std::optional<std::string> bytes = ReadInput(package, err);
    if (!bytes)
        return 2;
    return CheckSignature(publicKeyHex,
                          PackageSignedText(static_cast<std::int64_t>(bytes->size()), Sha256Hex(*bytes)),
                          package + ".sig", package, out, err);
}

int SignDescriptor(const std::string& secretKeyFile, const std::string& descriptor, std::ostream& out,
                   std::ostream& err) {
    if (!Ready(err))
        return 2;
    const std::optional<std::string> bytes = ReadInput(descriptor, err);
    if (!bytes)
        return 1;
    if (!WriteSignature(secretKeyFile, DescriptorSignedText(*bytes), descriptor + ".sig", err))
        return 1;
    out << "signed the descriptor " << descriptor << "\n";
    return 0;
}

int VerifyDescriptor(const std::string& publicKeyHex, const std::string& descriptor, std::ostream& out,
                     std::ostream& err) {
    if (!Ready(err))
        return 2;
    const std::optional<std::string> bytes = ReadInput(descriptor, err);
    if (!bytes)
        return 2;
    return CheckSignature(publicKeyHex, DescriptorSignedText(*bytes), descriptor + ".sig", descriptor, out,
                          err);
}

int SignStore(const std::string& secretKeyFile, const std::string& storeList, std::ostream& out,
              std::ostream& err) {
    if (!Ready(err))
        return 2;
    std::string text;
    std::size_t count = 0;
    if (!StoreText(storeList, text, count, err))
        return 1;
    if (!WriteSignature(secretKeyFile, text, storeList + ".sig", err))
        return 1;
    out << "signed " << count << " store entries\n";
    return 0;
}

int VerifyStore(const std::string& publicKeyHex, const std::string& storeList, std::ostream& out,
                std::ostream& err) {
    if (!Ready(err))
        return 2;
    std::string text;
    std::size_t count = 0;
    if (!StoreText(storeList, text, count, err))
        return 2;
    return CheckSignature(publicKeyHex, text, storeList + ".sig", storeList, out, err);
}

} // namespace qm::sign
