#include "upgrade/UpdateAddress.h"

#include "upgrade/UpdateSignature.h"

#include <algorithm>

namespace qm {

namespace {

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

// "host[:port]" of an address, with any user part dropped; npos-safe.
std::string_view Authority(std::string_view url) {
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    std::string_view rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos)
        rest = rest.substr(at + 1);
    return rest;
}

bool IsLoopbackHost(const std::string& host) {
    if (host == "localhost" || host == "::1")
        return true;
    // 127.0.0.0/8 written as a dotted quad.
    if (!host.starts_with("127."))
        return false;
    int dots = 0;
    for (const char c : host) {
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return false;
    }
    return dots == 3 && !host.ends_with('.') && host.find("..") == std::string::npos;
}

} // namespace

std::string AddressHost(std::string_view url) {
    std::string_view authority = Authority(url);
    if (authority.starts_with('['))
        return LowerAscii(authority.substr(1, authority.find(']') - 1));
    return LowerAscii(authority.substr(0, authority.find(':')));
}

bool SafeUpdateAddress(std::string_view url) {
    const std::string lower = LowerAscii(url.substr(0, std::min<std::size_t>(url.size(), 8)));
    if (lower.starts_with("https://"))
        return true;
    return lower.starts_with("http://") && IsLoopbackHost(AddressHost(url));
}

TResult<> UpdateAddressAllowed(const std::string& url) {
    const TResult<std::optional<TPublicKey>> key = UpdateKeyToCheck();
    if (!key)
        return key.Error();
    if (!*key || SafeUpdateAddress(url))
        return Success();
    return Failure("with an update key set, updates come only over https (or http to this machine): " + url);
}

} // namespace qm
