#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a publisher's signature covers, by kind. Every kind's signed text starts with a context line
// of its own, so that one key can sign packages, update descriptors and store lists without a
// signature of one kind ever verifying as another (a package whose bytes happen to read as a
// descriptor, say). The store list's text (StoreListText.h) starts with kStoreListContext.
namespace qm {

inline constexpr std::string_view kPackageContext = "qm-package 1\n";
inline constexpr std::string_view kDescriptorContext = "qm-update-descriptor 1\n";
inline constexpr std::string_view kStoreListContext = "qm-store-list 1\n";

// A package is signed by its length and SHA-256 (lower-case hex), so that checking it needs one
// pass over the file and no copy of it.
inline std::string PackageSignedText(std::int64_t length, std::string_view sha256Hex) {
    std::string text(kPackageContext);
    text += "length " + std::to_string(length) + "\nsha256 ";
    text += sha256Hex;
    text += '\n';
    return text;
}

// A descriptor is signed with its bytes as they are served.
inline std::string DescriptorSignedText(std::string_view bytes) {
    std::string text(kDescriptorContext);
    text += bytes;
    return text;
}

} // namespace qm
