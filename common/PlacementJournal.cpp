#include "common/PlacementJournal.h"

#include "common/DurableFiles.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <zlib.h>

namespace qm {

namespace fs = std::filesystem;

namespace {

// The header's first line; a later format gets another.
const char* const kMagic = "quillmere-placement 1";

std::uint32_t Crc32Of(const std::string& bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    return static_cast<std::uint32_t>(crc);
}

// Each entry is its kind and its path, each ended by NUL, which no file name holds.
std::string Payload(const std::vector<TJournalEntry>& entries) {
    std::string text;
    for (const TJournalEntry& entry : entries) {
        text += static_cast<char>(entry.What);
        text += '\0';
        text += entry.Relative.string();
        text += '\0';
    }
    return text;
}

bool IsKind(char c) {
    return c == 'A' || c == 'R' || c == 'F';
}

// The entries of a payload that passed its checksum; false when its shape is wrong.
bool ParsePayload(const std::string& payload, std::vector<TJournalEntry>& entries) {
    std::size_t at = 0;
    while (at < payload.size()) {
        if (at + 2 > payload.size() || !IsKind(payload[at]) || payload[at + 1] != '\0')
            return false;
        const std::size_t end = payload.find('\0', at + 2);
        if (end == std::string::npos || end == at + 2)
            return false;
        const fs::path relative = payload.substr(at + 2, end - at - 2);
        if (relative.is_absolute() || relative.lexically_normal().string().rfind("..", 0) == 0)
            return false;
        entries.push_back({static_cast<TJournalEntry::Kind>(payload[at]), relative});
        at = end + 1;
    }
    return true;
}

} // namespace

std::string WriteJournal(const fs::path& file, const std::vector<TJournalEntry>& entries) {
    const std::string payload = Payload(entries);
    char header[96];
    std::snprintf(header, sizeof header, "%s\nlength %zu\ncrc32 %08x\n\n", kMagic, payload.size(),
                  static_cast<unsigned>(Crc32Of(payload)));
    return WriteFileDurably(file, header + payload);
}

TJournalRead ReadJournal(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream bytes;
    if (!stream || !(bytes << stream.rdbuf()))
        return {{}, "the journal " + file.string() + " cannot be read"};
    const std::string text = bytes.str();
    const std::size_t blank = text.find("\n\n");
    std::istringstream header(text.substr(0, blank == std::string::npos ? 0 : blank));
    std::string magic, lengthWord, crcWord;
    std::size_t length = 0;
    std::uint32_t crc = 0;
    std::getline(header, magic);
    header >> lengthWord >> length >> crcWord >> std::hex >> crc;
    if (blank == std::string::npos || magic != kMagic || lengthWord != "length" || crcWord != "crc32" ||
        !header)
        return {{}, "the journal " + file.string() + " has no whole header"};
    const std::string payload = text.substr(blank + 2);
    if (payload.size() != length)
        return {{},
                "the journal " + file.string() + " is cut short or overlong (" +
                    std::to_string(payload.size()) + " of " + std::to_string(length) + " bytes)"};
    TJournalRead read;
    if (Crc32Of(payload) != crc || !ParsePayload(payload, read.Entries))
        return {{}, "the journal " + file.string() + " is damaged (its checksum does not match)"};
    return read;
}

} // namespace qm
