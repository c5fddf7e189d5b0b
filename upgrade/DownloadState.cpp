#include "upgrade/DownloadState.h"

#include "common/FileReplace.h"
#include "common/IniFile.h"
#include "common/Paths.h"

#include <charconv>

namespace qm {

namespace {

constexpr const char* kGlobal = "GLOBAL";
constexpr const char* kPartPrefix = "PART_";
// The INI reader drops one pair of quotes around a value, so every text is written inside one
// more pair: an entity tag carries its own quotes, and an address or date may too.
std::string Quoted(const std::string& value) {
    return "\"" + value + "\"";
}

std::string Line(const std::string& key, const std::string& value) {
    return key + "=" + value + "\r\n";
}

std::string Line(const std::string& key, std::int64_t value) {
    return Line(key, std::to_string(value));
}

std::optional<std::int64_t> ReadNumber(const TIniDocument& file, const std::string& section,
                                       const std::string& key) {
    const std::string text = file.ReadString(section, key);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

} // namespace

bool TDownloadState::CoversContent() const noexcept {
    std::int64_t next = 0;
    for (const TPartState& part : parts) {
        if (part.start != next || part.end < part.start || part.done < 0 ||
            part.done > part.end - part.start + 1)
            return false;
        next = part.end + 1;
    }
    return next == contentLength;
}

std::vector<TPartState> SplitIntoParts(std::int64_t length, int count) {
    std::vector<TPartState> parts;
    if (length <= 0 || count <= 0)
        return parts;
    const std::int64_t partCount = std::min<std::int64_t>(count, length);
    const std::int64_t size = length / partCount;
    const std::int64_t larger = length % partCount; // the first parts take one byte more
    std::int64_t start = 0;
    for (std::int64_t i = 0; i < partCount; ++i) {
        const std::int64_t partSize = size + (i < larger ? 1 : 0);
        parts.push_back({start, start + partSize - 1, 0});
        start += partSize;
    }
    return parts;
}

bool WriteDownloadState(const std::string& fileName, const TDownloadState& state) {
    if (fileName.empty() || HasLineBreak(state.url) || HasLineBreak(state.etag) ||
        HasLineBreak(state.lastModified))
        return false;
    std::string text = "[" + std::string(kGlobal) + "]\r\n";
    text += Line("Url", Quoted(state.url));
    text += Line("ContentLength", state.contentLength);
    text += Line("PartCount", static_cast<std::int64_t>(state.parts.size()));
    text += Line("ETag", Quoted(state.etag));
    text += Line("LastModified", Quoted(state.lastModified));
    for (std::size_t i = 0; i < state.parts.size(); ++i) {
        const TPartState& part = state.parts[i];
        text += "\r\n[" + std::string(kPartPrefix) + std::to_string(i) + "]\r\n";
        text += Line("StartOffset", part.start);
        text += Line("EndOffset", part.end);
        text += Line("DataCount", part.done);
        text += Line("URL", Quoted(state.url));
    }
    const std::string native = ToNativePath(fileName);
    return !ReplaceFileContent(ResolvedTarget(native), text).has_value();
}

std::optional<TDownloadState> ReadDownloadState(const std::string& fileName) {
    const std::string native = ToNativePath(fileName);
    if (fileName.empty() || !FileExists(native))
        return std::nullopt;
    const TIniDocument file = TIniDocument::Load(native);
    TDownloadState state;
    state.url = file.ReadString(kGlobal, "Url");
    const auto length = ReadNumber(file, kGlobal, "ContentLength");
    const auto count = ReadNumber(file, kGlobal, "PartCount");
    if (state.url.empty() || !length || !count || *count < 0)
        return std::nullopt;
    state.contentLength = *length;
    state.etag = file.ReadString(kGlobal, "ETag");
    state.lastModified = file.ReadString(kGlobal, "LastModified");
    for (std::int64_t i = 0; i < *count; ++i) {
        const std::string section = kPartPrefix + std::to_string(i);
        const auto start = ReadNumber(file, section, "StartOffset");
        const auto end = ReadNumber(file, section, "EndOffset");
        const auto done = ReadNumber(file, section, "DataCount");
        if (!start || !end || !done)
            return std::nullopt;
        state.parts.push_back({*start, *end, *done});
    }
    return state;
}

} // namespace qm
