#include "upgrade/ReleaseNotes.h"

#include <algorithm>
#include <cctype>

namespace qm {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

bool IsHeader(const std::string& line) {
    const std::string upper = Upper(line);
    return upper.find("VER ") != std::string::npos && upper.find("BUILD") != std::string::npos;
}

// Lines as a text file holds them: LF, CR LF or CR ends a line; a break at the very end opens no
// further line.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

std::string VersionLine(std::string version) {
    const auto v = version.find_first_of("vV");
    if (v != std::string::npos)
        version.replace(v, 1, "Ver ");
    return version;
}

} // namespace

std::vector<std::string> BuildReleaseNotes(const std::string& descriptorText,
                                           const std::string& serverVersion) {
    const std::vector<std::string> lines = SplitLines(descriptorText);
    std::vector<std::string> notes{VersionLine(serverVersion)};
    const auto header = std::find_if(lines.begin(), lines.end(), IsHeader);
    if (header != lines.end())
        notes.insert(notes.end(), header + 1, lines.end());
    else if (!lines.empty())
        notes.push_back(lines.back());
    return notes;
}

} // namespace qm
