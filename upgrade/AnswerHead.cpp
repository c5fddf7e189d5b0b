#include "upgrade/AnswerHead.h"

#include "common/TextTrim.h"

#include <charconv>

namespace qm {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

std::int64_t ParseCount(std::string_view text) {
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return -1;
    return value;
}

// "HTTP/1.1 206 Partial Content": the number after the version, the text after the number.
void ReadStatusLine(std::string_view line, TAnswerHead& head) {
    head = TAnswerHead{};
    const auto afterVersion = line.find(' ');
    if (afterVersion == std::string_view::npos)
        return;
    std::string_view rest = TrimWhitespace(line.substr(afterVersion + 1));
    const auto afterCode = rest.find(' ');
    const std::int64_t code = ParseCount(rest.substr(0, afterCode));
    head.status = code < 0 ? 0 : static_cast<long>(code);
    head.reason = afterCode == std::string_view::npos ? "" : std::string(TrimWhitespace(rest.substr(afterCode + 1)));
}

// "bytes 0-99/1000" or "bytes */1000": the total after the slash.
std::int64_t RangeTotal(std::string_view value) {
    const auto slash = value.rfind('/');
    return slash == std::string_view::npos ? -1 : ParseCount(TrimWhitespace(value.substr(slash + 1)));
}

} // namespace

void TAnswerHead::Feed(std::string_view line) {
    if (line.size() >= 5 && EqualsNoCase(line.substr(0, 5), "http/")) {
        ReadStatusLine(line, *this);
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = TrimWhitespace(line.substr(0, colon));
    const std::string_view value = TrimWhitespace(line.substr(colon + 1));
    if (EqualsNoCase(name, "content-length"))
        contentLength = ParseCount(value);
    else if (EqualsNoCase(name, "content-range"))
        rangeTotal = RangeTotal(value);
    else if (EqualsNoCase(name, "accept-ranges"))
        acceptsRanges = EqualsNoCase(value, "bytes");
    else if (EqualsNoCase(name, "etag"))
        etag = value;
    else if (EqualsNoCase(name, "last-modified"))
        lastModified = value;
}

} // namespace qm
