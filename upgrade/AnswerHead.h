#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// What the head of an HTTP answer says, as far as a download cares.
struct TAnswerHead {
    long status = 0;
    std::string reason;              // the status line's text, e.g. "Not Found"
    std::int64_t contentLength = -1; // -1: not given
    std::int64_t rangeTotal = -1;    // the total of a "Content-Range" header; -1: not given or "*"
    bool acceptsRanges = false;      // "Accept-Ranges: bytes"
    std::string etag;
    std::string lastModified;

    // Takes one header line as libcurl hands it over (with its line break). A status line starts
    // a new head, so after redirects the head is the final answer's.
    void Feed(std::string_view line);
};

} // namespace qm
