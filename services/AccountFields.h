#pragma once

#include <optional>
#include <string>

namespace qm::server {

// Bytes up to and including space cut from both ends, as the desk's dialogs trim what is typed.
std::string TrimBlank(const std::string& text);

// The Chinese message for a user name that is not 1 to 64 characters of UTF-8 text without
// control characters; nullopt for a sound one. The name must already be trimmed.
std::optional<std::string> UserNameProblem(const std::string& name);

// The message for a password that is not 1 to 128 characters of UTF-8 text; nullopt when sound.
std::optional<std::string> PasswordProblem(const std::string& password);

// The message for an e-mail address that is empty, longer than 254 bytes, holds a blank or control
// character, or is not one local part, one "@" and a domain with a dot inside it; nullopt when sound.
std::optional<std::string> EmailProblem(const std::string& email);

} // namespace qm::server
