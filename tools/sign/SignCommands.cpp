#include "tools/sign/SignCommands.h"

#include <array>
#include <fcntl.h>
#include <fstream>
#include <sodium.h>
#include <sstream>
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
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return false;
    text = text.substr(first, last - first + 1);
    std::size_t written = 0;
    const char* end = nullptr;
    return text.size() == 2 * N &&
           sodium_hex2bin(bytes.data(), N, text.data(), text.size(), nullptr, &written, &end) == 0 &&
           written == N && end == text.data() + text.size();
}

bool ReadFile(const std::string& file, std::string& bytes) {
    std::ifstream input(file, std::ios::binary);
    if (!input)
        return false;
    std::ostringstream content;
    content << input.rdbuf();
    bytes = content.str();
    return !input.bad();
}

std::string Sha256Hex(const std::string& bytes) {
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return ToHex(digest);
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
    std::string keyText;
    TSecretKey secretKey{};
    if (!ReadFile(secretKeyFile, keyText) || !FromHex(keyText, secretKey)) {
        err << "qm-sign: " << secretKeyFile << " holds no secret key\n";
        return 1;
    }
    std::string bytes;
    if (!ReadFile(package, bytes)) {
        err << "qm-sign: cannot read " << package << "\n";
        return 1;
    }
    TSignature signature{};
    crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(bytes.data()),
                         bytes.size(), secretKey.data());
    sodium_memzero(secretKey.data(), secretKey.size());
    std::ofstream output(package + ".sig", std::ios::binary | std::ios::trunc);
    output << ToHex(signature) << "\n";
    output.close();
    if (!output) {
        err << "qm-sign: cannot write " << package << ".sig\n";
        return 1;
    }
    out << "sha256=" << Sha256Hex(bytes) << "\n";
    return 0;
}

int Verify(const std::string& publicKeyHex, const std::string& package, std::ostream& out,
           std::ostream& err) {
    if (!Ready(err))
        return 2;
    TPublicKey publicKey{};
    if (!FromHex(publicKeyHex, publicKey)) {
        err << "qm-sign: the public key must be 64 hex digits\n";
        return 2;
    }
    std::string bytes;
    std::string signatureText;
    TSignature signature{};
    if (!ReadFile(package, bytes) || !ReadFile(package + ".sig", signatureText) ||
        !FromHex(signatureText, signature)) {
        err << "qm-sign: cannot read " << package << " and its signature " << package << ".sig\n";
        return 2;
    }
    if (crypto_sign_verify_detached(signature.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                    bytes.size(), publicKey.data()) != 0) {
        err << "qm-sign: the signature does not match " << package << "\n";
        return 1;
    }
    out << "good signature\n";
    return 0;
}

} // namespace qm::sign
