#pragma once

#include <cstdint>
#include <string_view>

namespace qm::server {

// How a "Range" request header applies to a body of a known size.
struct ByteRange {
    enum class Kind {
        Whole,         // no usable single range: answer 200 with the whole body
        Part,          // answer 206 with bytes first..last (inclusive)
        Unsatisfiable, // answer 416
    };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;
    std::uint64_t last = 0;

    std::uint64_t Length() const { return last - first + 1; }
};

// Reads a single "bytes=" range ("a-b", "a-", "-n") against a body of `size` bytes. A missing or
// malformed header, or a list of several ranges, yields Whole: a server may always ignore Range.
ByteRange ResolveByteRange(std::string_view header, std::uint64_t size);

} // namespace qm::server
