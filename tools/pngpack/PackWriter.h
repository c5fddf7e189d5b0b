#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Builds packed image store files ("pngs.sys"): the magic, the length C of the compressed block,
// then the block: the payload's length U and the payload as one zlib stream. The payload holds the
// entry count and, per entry, the name and the PNG file, each after its 32-bit little-endian length.
namespace qm {

struct TPackEntry {
    std::string name; // the bytes stored: GBK, folders delimited by "\"
    std::string data; // a complete PNG file
};

// The payload before compression.
std::string EncodePackPayload(const std::vector<TPackEntry>& entries);
// A complete pack file around a payload.
std::string EncodePackFile(std::string_view payload);

// The name a file at this path below the packed folder gets: "\" between folders, GBK bytes.
std::string PackEntryName(const std::filesystem::path& relative);
// Every file ending ".png" (any case) below folder, at any depth, in the order of their names.
std::vector<TPackEntry> CollectPngFiles(const std::filesystem::path& folder);

// Writes the pack to a temporary file beside fileName and renames it over fileName, so that a
// failure never leaves a truncated pack behind.
void WritePackFile(const std::filesystem::path& fileName, std::string_view bytes);

} // namespace qm
