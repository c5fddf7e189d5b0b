#include "services/AccountFields.h"

#include <cstdint>

namespace qm::server {

namespace {

constexpr std::size_t kMaxNameCharacters = 64;
constexpr std::size_t kMaxPasswordCharacters = 128;
constexpr std::size_t kMaxEmailBytes = 254;

struct TextShape {
    bool valid = true;    // well-formed UTF-8
    bool control = false; // holds a C0 or C1 control character or DEL
    std::size_t characters = 0;
};

// Decodes UTF-8 strictly: no overlong forms, surrogates or values past U+10FFFF.
TextShape ShapeOf(const std::string& text) {
    TextShape shape;
    for (std::size_t i = 0; i < text.size(); ++shape.characters) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size())
            return {false, shape.control, shape.characters};
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return {false, shape.control, shape.characters};
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return {false, shape.control, shape.characters};
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            shape.control = true;
        i += length;
    }
    return shape;
}

} // namespace

std::string TrimBlank(const std::string& text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::optional<std::string> UserNameProblem(const std::string& name) {
    if (name.empty())
        return "用户名不能为空";
    const TextShape shape = ShapeOf(name);
    if (!shape.valid || shape.control)
        return "用户名含有无效字符";
    if (shape.characters > kMaxNameCharacters)
        return "用户名不能超过" + std::to_string(kMaxNameCharacters) + "个字符";
    return std::nullopt;
}

std::optional<std::string> PasswordProblem(const std::string& password) {
    if (password.empty())
        return "密码不能为空";
    const TextShape shape = ShapeOf(password);
    if (!shape.valid)
        return "密码含有无效字符";
    if (shape.characters > kMaxPasswordCharacters)
        return "密码不能超过" + std::to_string(kMaxPasswordCharacters) + "个字符";
    return std::nullopt;
}

std::optional<std::string> EmailProblem(const std::string& email) {
    if (email.empty())
        return "电子邮件地址不能为空";
    if (email.size() > kMaxEmailBytes)
        return "电子邮件地址不能超过" + std::to_string(kMaxEmailBytes) + "个字符";
    const TextShape shape = ShapeOf(email);
    const std::size_t at = email.find('@');
    const std::string domain = at == std::string::npos ? std::string() : email.substr(at + 1);
    const std::size_t dot = domain.find('.');
    const bool blank = email.find(' ') != std::string::npos;
    if (!shape.valid || shape.control || blank || at == 0 || at == std::string::npos ||
        domain.find('@') != std::string::npos || dot == 0 || dot == std::string::npos || domain.back() == '.')
        return "电子邮件地址无效";
    return std::nullopt;
}

} // namespace qm::server
