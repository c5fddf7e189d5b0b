#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// INI files as the Windows profile functions read them: "[section]" headers and "key=value" lines,
// names compared without regard to ASCII case, the first matching section and key winning, lines
// starting with ";" or "#" taken as comments. Names and values are trimmed, and a value enclosed in
// a pair of double or single quotes loses them. Files are read as UTF-8 when valid, else as GBK.
namespace qm {

// An INI text parsed once and read many times; reading never touches the file again.
class TIniDocument {
public:
    // An empty document: every value reads as "".
    TIniDocument() = default;
    // The file's text, decoded and parsed; empty when the file is missing or cannot be read.
    static TIniDocument Load(const std::string& fileName);
    // The bytes of a file (UTF-8 when valid, else GBK), decoded and parsed.
    static TIniDocument Parse(std::string_view bytes);

    // The value of key in section, or "" when the section or the key is missing.
    std::string ReadString(std::string_view section, std::string_view key) const;
    // False when the section is missing.
    bool SectionExists(std::string_view section) const;
    // The decoded text, lines that are not sections or keys included (release notes).
    const std::string& Text() const noexcept { return text_; }
    // False for a missing or unreadable file.
    bool Loaded() const noexcept { return loaded_; }

private:
    struct TSection {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values; // in file order
    };
    std::string text_;
    std::vector<TSection> sections_; // in file order; a repeated name is kept but never searched
    bool loaded_ = false;
};

// The value of key in section, or "" when the file, the section or the key is missing.
std::string IniReadString(const std::string& fileName, const std::string& section, const std::string& key);

// False when the file or the section is missing.
bool IniSectionExists(const std::string& fileName, const std::string& section);

// Writes key=value into section, creating the file and the section as needed. Returns false and
// writes nothing when fileName is blank. Every other line of the file is kept byte for byte, as are
// its encoding (UTF-8 or GBK; a new file is UTF-8) and its line breaks (CR LF in a new file). The
// file is replaced through a temporary file in the same folder, so it is never left half written.
// Raises corvane::ETax when the file cannot be read or written, and for a section, key or value
// that cannot be stored in an INI line (line breaks, "=" in a key, "]" in a section name).
bool IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value);

} // namespace qm
