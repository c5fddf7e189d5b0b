#pragma once

#include <cstdint>

namespace qm {

// A 32-bit number stored most significant byte first, as PNG files store chunk lengths, CRCs and
// header fields. The caller has checked that four bytes are there.
inline std::uint32_t BigEndian32(const char* bytes) noexcept {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

} // namespace qm
