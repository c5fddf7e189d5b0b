#include "common/IniFile.h"

#include "common/FileBytes.h"
#include "common/FileReplace.h"
#include "common/Paths.h"
#include "common/TextEncoding.h"
#include "common/TextTrim.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qm {

namespace {

constexpr const char* kWriteLocation = "IniWriteString(FileName, Section, Key, Value: string): Boolean";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\v\f";
constexpr std::string_view kNewFileLineBreak = "\r\n";

std::string OsErrorText(int error) {
    return std::system_category().message(error);
}

[[noreturn]] void RaiseFileError(const char* what, const std::string& fileName, const std::string& reason) {
    throw corvane::ETax(corvane::FormatText("Cannot %s file \"%s\". %s", what, fileName, reason),
                        kWriteLocation);
}

std::string_view Trim(std::string_view s) {
    return TrimWhitespace(s, kBlanks);
}

bool IsBlankChar(char c) {
    return kBlanks.find(c) != std::string_view::npos;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// ---- Reading lines ----

// One line as stored: its bytes and the line break that ends it ("" for an unterminated last line).
struct TRawLine {
    std::string bytes;
    std::string lineBreak;
};

// Lines end at CR LF, LF or a lone CR.
std::vector<TRawLine> SplitLines(std::string_view text) {
    std::vector<TRawLine> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '\r' && text[i] != '\n') {
            ++i;
            continue;
        }
        const std::size_t breakLength = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
        lines.push_back(
            {std::string(text.substr(start, i - start)), std::string(text.substr(i, breakLength))});
        i += breakLength;
        start = i;
    }
    if (start < text.size())
        lines.push_back({std::string(text.substr(start)), std::string()});
    return lines;
}

enum class TLineKind { Blank, Comment, Section, Key, Other };

// What one line of text says; name and value point into the line.
struct TIniLine {
    TLineKind kind = TLineKind::Other;
    std::string_view name;
    std::string_view value;
};

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

TIniLine ParseLine(std::string_view line) {
    line = Trim(line);
    if (line.empty())
        return {TLineKind::Blank, {}, {}};
    if (line.front() == ';' || line.front() == '#')
        return {TLineKind::Comment, {}, {}};
    if (line.front() == '[') {
        const std::size_t close = line.find(']');
        return {TLineKind::Section,
                Trim(line.substr(1, close == std::string_view::npos ? close : close - 1)),
                {}};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return {TLineKind::Other, {}, {}};
    return {TLineKind::Key, Trim(line.substr(0, equals)), Unquoted(Trim(line.substr(equals + 1)))};
}

// ---- Writing ----

void CheckWritable(const std::string& fileName, std::string_view section, std::string_view key,
                   std::string_view value) {
    const auto hasLineBreak = [](std::string_view s) {
        return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
    };
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        RaiseFileError("write", fileName, "A section, key or value cannot contain line breaks");
    if (!IsValidUtf8(section) || !IsValidUtf8(key) || !IsValidUtf8(value))
        RaiseFileError("write", fileName, "A section, key or value is not valid UTF-8 text");
    // Such names would be read back as something else: a comment, a section or a different key.
    if (key.empty() || key.find('=') != key.npos || key.front() == ';' || key.front() == '#' ||
        key.front() == '[')
        RaiseFileError("write", fileName,
                       corvane::FormatText("\"%s\" is not a valid key name", std::string(key)));
    if (section.find(']') != section.npos)
        RaiseFileError("write", fileName,
                       corvane::FormatText("\"%s\" is not a valid section name", std::string(section)));
}

// Blanks at either end, or a pair of enclosing quotes, would be lost on reading; quoting keeps them.
std::string StoredValue(const std::string& value) {
    const bool edgeBlanks = !value.empty() && (IsBlankChar(value.front()) || IsBlankChar(value.back()));
    const bool enclosed = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
    return edgeBlanks || enclosed ? '"' + value + '"' : value;
}

// The new file contents: the matching key line rewritten, or a key line added at the end of the
// first matching section, or a new section appended. Everything else stays as it was.
std::string UpdatedFile(const std::string& bytes, const std::string& fileName, std::string_view section,
                        std::string_view key, const std::string& value) {
    const bool gbk = !IsValidUtf8(bytes);
    const bool bom = !gbk && std::string_view(bytes).starts_with(kUtf8Bom);
    std::vector<TRawLine> lines = SplitLines(bytes);

    std::string lineBreak(kNewFileLineBreak);
    for (const TRawLine& line : lines)
        if (!line.lineBreak.empty()) {
            lineBreak = line.lineBreak;
            break;
        }

    const auto decoded = [&](std::size_t i) {
        std::string_view raw = lines[i].bytes;
        if (i == 0 && bom)
            raw.remove_prefix(kUtf8Bom.size());
        return gbk ? DecodeGbk(raw) : std::string(raw);
    };
    const auto encoded = [&](const std::string& text) {
        if (!gbk)
            return text;
        try {
            return EncodeGbk(text);
        } catch (const corvane::ETax&) {
            RaiseFileError("write", fileName, "The text cannot be encoded as GBK, the encoding of the file");
        }
    };

    std::optional<std::size_t> header;
    std::optional<std::size_t> keyLine;
    std::size_t lastContent = 0; // the section's last line that is neither blank nor a comment
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string text = decoded(i);
        const TIniLine line = ParseLine(text);
        if (line.kind == TLineKind::Section) {
            if (header)
                break;
            if (corvane::SameText(line.name, section))
                header = lastContent = i;
        } else if (header) {
            if (line.kind == TLineKind::Key && corvane::SameText(line.name, key)) {
                keyLine = i;
                break;
            }
            if (line.kind == TLineKind::Key || line.kind == TLineKind::Other)
                lastContent = i;
        }
    }

    const std::string storedValue = StoredValue(value);
    if (keyLine) {
        // Keep the key as written and the blanks around "="; only the value changes.
        std::string& raw = lines[*keyLine].bytes;
        const std::size_t equals = raw.find('=');
        const std::size_t valueStart = std::min(raw.find_first_not_of(kBlanks, equals + 1), raw.size());
        raw = raw.substr(0, valueStart) + encoded(storedValue);
    } else {
        std::vector<TRawLine> added;
        if (!header) {
            if (!lines.empty() && ParseLine(decoded(lines.size() - 1)).kind != TLineKind::Blank)
                added.push_back({std::string(), lineBreak}); // an empty line between sections
            added.push_back({encoded('[' + std::string(section) + ']'), lineBreak});
        }
        added.push_back({encoded(std::string(key) + '=' + storedValue), lineBreak});
        const std::size_t at = header ? lastContent + 1 : lines.size();
        if (at > 0 && lines[at - 1].lineBreak.empty())
            lines[at - 1].lineBreak = lineBreak;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    }

    std::string result;
    result.reserve(bytes.size() + key.size() + value.size() + section.size() + 16);
    for (const TRawLine& line : lines)
        result += line.bytes + line.lineBreak;
    return result;
}

// Serialises read-modify-replace of INI files in one folder between threads and processes, so that
// two writers never lose each other's keys. Where the folder cannot be locked, writing goes on
// without it.
class TFolderLock {
public:
    explicit TFolderLock(const std::string& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~TFolderLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

private:
    int fd_;
};

} // namespace

TIniDocument TIniDocument::Load(const std::string& fileName) {
    const TResult<std::string> bytes = ReadFileBytes(ToNativePath(fileName));
    if (!bytes)
        return TIniDocument();
    return Parse(*bytes);
}

TIniDocument TIniDocument::Parse(std::string_view bytes) {
    TIniDocument document;
    document.text_ = DecodeText(bytes);
    document.loaded_ = true;
    TSection* current = nullptr;
    for (const TRawLine& raw : SplitLines(document.text_)) {
        const TIniLine line = ParseLine(raw.bytes);
        if (line.kind == TLineKind::Section) {
            document.sections_.push_back(TSection{std::string(line.name), {}});
            current = &document.sections_.back();
        } else if (current != nullptr && line.kind == TLineKind::Key) {
            current->values.emplace_back(std::string(line.name), std::string(line.value));
        }
    }
    return document;
}

// The first section of a name only: a later one of the same name is not searched, and the first
// matching key wins.
std::string TIniDocument::ReadString(std::string_view section, std::string_view key) const {
    section = Trim(section);
    key = Trim(key);
    for (const TSection& candidate : sections_) {
        if (!corvane::SameText(candidate.name, section))
            continue;
        for (const auto& [name, value] : candidate.values)
            if (corvane::SameText(name, key))
                return value;
        return std::string();
    }
    return std::string();
}

bool TIniDocument::SectionExists(std::string_view section) const {
    section = Trim(section);
    for (const TSection& candidate : sections_)
        if (corvane::SameText(candidate.name, section))
            return true;
    return false;
}

std::string IniReadString(const std::string& fileName, const std::string& section, const std::string& key) {
    return TIniDocument::Load(fileName).ReadString(section, key);
}

bool IniSectionExists(const std::string& fileName, const std::string& section) {
    return TIniDocument::Load(fileName).SectionExists(section);
}

bool IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value) {
    if (Trim(fileName).empty())
        return false;
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);
    CheckWritable(fileName, sectionName, keyName, value);

    const std::string target = ResolvedTarget(ToNativePath(fileName));
    const std::string folder = FolderOf(target);
    const TFolderLock lock(folder);

    const TResult<std::string> bytes = ReadFileBytes(target);
    const bool exists = bytes.Ok();
    if (!exists && bytes.Code() != ENOENT && bytes.Code() != ENOTDIR)
        RaiseFileError("open", fileName, OsErrorText(bytes.Code()));
    // A read-only file stays unchanged, as it would if it were written in place.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        RaiseFileError("open", fileName, OsErrorText(errno));

    const std::string updated =
        UpdatedFile(bytes.ValueOr(std::string()), fileName, sectionName, keyName, value);

    if (const std::optional<TReplaceFailure> failure = ReplaceFileContent(target, updated))
        RaiseFileError(failure->creating ? "create" : "write", fileName, OsErrorText(failure->error));
    return true;
}

} // namespace qm
