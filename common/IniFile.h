#pragma once

#include <string>

// INI files as the Windows profile functions read them: "[section]" headers and "key=value" lines,
// names compared without regard to ASCII case, the first matching section and key winning, lines
// starting with ";" or "#" taken as comments. Names and values are trimmed, and a value enclosed in
// a pair of double or single quotes loses them. Files are read as UTF-8 when valid, else as GBK.
namespace qm {

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
