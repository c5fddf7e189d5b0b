#pragma once

#include <string>

// The dialog's input rules as pure functions: how texts are normalised, which characters the
// fields take, and the verdict (tip) of each field's check.
namespace qm {

enum class TTipKind { Hint, Accepted, Rejected };

// What a field's tip shows: a kind (picture and colour) and a text; accepted fields show no text.
struct TTip {
    TTipKind kind = TTipKind::Hint;
    std::string text;
    bool operator==(const TTip&) const = default;
};

// Trimmed and in ASCII lower case: how user names and passwords (sic) are taken.
std::string NormalizedLogin(const std::string& text);
// Characters (UTF-8 code points) in text.
std::size_t CharacterCount(const std::string& text);

// The user-name fields take control characters (8 to 31), digits, ASCII letters and "_".
bool IsUserNameCharacter(char32_t c);
// The e-mail field takes character codes 8 to 127.
bool IsEmailCharacter(char32_t c);

// Whether text holds an e-mail address anywhere (the pattern is not anchored).
bool ContainsEmailAddress(const std::string& text);

// The checks of the register layout. Each normalises its input itself: user name, password and
// confirmation are trimmed and lower-cased, the e-mail only trimmed.
TTip CheckUserName(const std::string& userName);
TTip CheckPassword(const std::string& password);
TTip CheckConfirmation(const std::string& password, const std::string& confirmation);
TTip CheckEmail(const std::string& email);

} // namespace qm
