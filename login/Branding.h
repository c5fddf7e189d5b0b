#pragma once

#include "common/BrandingFile.h"

#include <optional>
#include <string>

// The branding configuration "brennik.xml" in the configuration folder: web addresses of the
// account pages (direct children of the root, names compared without regard to case) and the
// registration source identifier.
namespace qm {

// In an address "\yu" stands for "&"; only the first occurrence is replaced.
std::string ExpandAddressEscape(std::string address);

// The address stored under the root's child nodeName, escape expanded; "" when the element is
// missing. A missing file raises ETax "配置文件(<full path>)不存在".
std::string ReadBrandingAddress(const std::string& nodeName);

// The same, but nothing (no error) when the file or the element is missing.
std::optional<std::string> FindBrandingAddress(const std::string& nodeName);

// Text of the first element named "SoureId" (any case) below the root, depth-first in document
// order; "" when the file or the element is missing or the file does not load.
std::string ReadBrandingSourceId();

} // namespace qm
