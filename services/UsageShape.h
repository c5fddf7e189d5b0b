#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm::server {

// One count of a usage statistics text: how often a user used a function on a day.
struct UsageCount {
    std::string productId;
    std::string productVer;
    std::string registrationNumber;
    std::string user;
    std::string day; // "YYYYMMDD"
    std::string functionKey;
    std::int64_t count = 0;
};

struct UsageShapeResult {
    std::optional<std::vector<UsageCount>> counts; // nullopt: the text does not have the shape
    std::string error;                             // what is wrong, for the server's log
};

// Reads a usage statistics text (docs/logging-service.md): one "Data" object or a non-empty array
// of them, each with the string members FProductID, FProductVer, FProductRegNO, FAccountName,
// FAccountUser, FBKUser, FAdditionalInfo and a non-empty array "FOperationDays" of objects with
// "FOperationDay" (eight digits) and a non-empty array "FFunctions" of objects with a non-empty
// "FFunctionKey" and "FOperationCount" (decimal digits, at least 1).
UsageShapeResult ReadUsageText(const std::string& text);

} // namespace qm::server
