#pragma once

#include <string>
#include <string_view>

// Text files from the installation or a server (INI files, update descriptors, release notes) come
// either as UTF-8 or in the Chinese ANSI code page GBK. Inside the program all text is UTF-8.
namespace qm {

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes) noexcept;

// Valid UTF-8 comes back as it is, without a leading byte-order mark; anything else is read as GBK.
std::string DecodeText(std::string_view bytes);

// GBK bytes to UTF-8. A byte that does not start a valid GBK character becomes U+FFFD.
std::string DecodeGbk(std::string_view bytes);

// UTF-8 to GBK. Raises corvane::ETax when the text is not valid UTF-8 or holds a character GBK
// lacks: writing a substitute instead would silently change the text.
std::string EncodeGbk(std::string_view utf8);

} // namespace qm
