#include "login/LoginRules.h"

#include "common/TextTrim.h"
#include "corvane/TextCase.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <memory>
#include <pcre2.h>

namespace qm {

namespace {

TTip Accepted() {
    return {TTipKind::Accepted, {}};
}
TTip Rejected(const char* text) {
    return {TTipKind::Rejected, text};
}

struct TCodeDeleter {
    void operator()(pcre2_code* code) const noexcept { pcre2_code_free(code); }
};
struct TMatchDataDeleter {
    void operator()(pcre2_match_data* data) const noexcept { pcre2_match_data_free(data); }
};

// Compiled once; a compiled pattern may be shared by threads, match data may not.
const pcre2_code* EmailPattern() {
    static const std::unique_ptr<pcre2_code, TCodeDeleter> code = [] {
        static const char pattern[] = R"(\w+([-+.]\w+)*@\w+([-.]\w+)*\.\w+([-.]\w+)*)";
        int error = 0;
        PCRE2_SIZE offset = 0;
        return std::unique_ptr<pcre2_code, TCodeDeleter>(pcre2_compile(
            reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0, &error, &offset, nullptr));
    }();
    return code.get();
}

} // namespace

std::string NormalizedLogin(const std::string& text) {
    return corvane::LowerAscii(TrimmedCopy(text, kBlanksAndControls));
}

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        // Continuation bytes (10xxxxxx) do not start a character.
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

bool IsUserNameCharacter(char32_t c) {
    return (c >= 8 && c <= 31) || (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') ||
           (c >= U'A' && c <= U'Z') || c == U'_';
}

bool IsEmailCharacter(char32_t c) {
    return c >= 8 && c <= 127;
}

bool ContainsEmailAddress(const std::string& text) {
    const pcre2_code* code = EmailPattern();
    if (code == nullptr)
        return false;
    const std::unique_ptr<pcre2_match_data, TMatchDataDeleter> match(
        pcre2_match_data_create_from_pattern(code, nullptr));
    if (!match)
        return false;
    return pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, match.get(),
                       nullptr) >= 0;
}

TTip CheckUserName(const std::string& userName) {
    const std::string name = NormalizedLogin(userName);
    if (name.empty())
        return Rejected("用户名不能为空");
    if (CharacterCount(name) < 4)
        return Rejected("用户名最少4个字符，最长20个字符");
    return Accepted();
}

TTip CheckPassword(const std::string& password) {
    const std::string text = NormalizedLogin(password);
    if (text.empty())
        return Rejected("请输入密码");
    if (CharacterCount(text) < 6)
        return Rejected("密码最少6个字符，最长20个字符");
    return Accepted();
}

TTip CheckConfirmation(const std::string& password, const std::string& confirmation) {
    const std::string text = NormalizedLogin(confirmation);
    if (text.empty())
        return Rejected("请输入确认密码");
    if (text != NormalizedLogin(password))
        return Rejected("两次输入的密码不相同");
    return Accepted();
}

TTip CheckEmail(const std::string& email) {
    const std::string text = TrimmedCopy(email, kBlanksAndControls);
    if (text.empty())
        return Rejected("请输入电子邮件地址");
    if (!ContainsEmailAddress(text))
        return Rejected("请输入正确的电子邮件地址");
    return Accepted();
}

} // namespace qm
