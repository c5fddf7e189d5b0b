#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// One byte range of a transfer: bytes start..end (inclusive; end -1 while the length is unknown),
// of which the first `done` are in the file.
struct TPartState {
    std::int64_t start = 0;
    std::int64_t end = -1;
    std::int64_t done = 0;

    bool Finished() const noexcept { return end >= 0 && done >= end - start + 1; }
};

// What a paused transfer needs to go on, and what tells whether the server's file is still the
// same one.
struct TDownloadState {
    std::string url;
    std::int64_t contentLength = -1; // -1: unknown
    std::string etag;                // "" when the server gave none
    std::string lastModified;        // "" when the server gave none
    std::vector<TPartState> parts;

    // The parts lie side by side from byte 0 to the last byte, each with a sane count.
    bool CoversContent() const noexcept;
};

// `count` ranges of nearly equal size covering `length` bytes; fewer when the file has fewer bytes
// than that, none for an empty file.
std::vector<TPartState> SplitIntoParts(std::int64_t length, int count);

// The state file: section "GLOBAL" with "Url", "ContentLength", "PartCount", "ETag" and
// "LastModified"; one section "PART_<index>" (from 0) per part with "StartOffset", "EndOffset"
// (inclusive), "DataCount" and "URL". Written to a temporary file in the same folder and renamed
// over the old one, so a reader finds either the old state or the new one. False when it could
// not be written.
bool WriteDownloadState(const std::string& fileName, const TDownloadState& state);

// Nullopt when the file is missing, names no address, or holds numbers that do not read.
std::optional<TDownloadState> ReadDownloadState(const std::string& fileName);

} // namespace qm
