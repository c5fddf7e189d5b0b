#pragma once

#include "services/CutBudget.h"

#include <cstdint>
#include <filesystem>
#include <httplib.h>
#include <optional>

namespace qm::server {

// Which bytes of a file make up a response body, and how they are to be sent.
struct FileBodyPlan {
    std::filesystem::path file;
    std::uint64_t offset = 0;                    // first byte of the file in the body
    std::optional<std::uint64_t> bytesPerSecond; // pace the body at this rate
    std::optional<std::uint64_t> cutAfter;       // close the connection once this many bytes are out
    std::shared_ptr<CutBudget> cutBudget;        // when set, cut only while it allows
};

// A content provider that streams the planned bytes from disk (the file is opened once, here).
// Throws std::runtime_error when the file cannot be opened.
httplib::ContentProvider MakeFileBodyProvider(const FileBodyPlan& plan);

} // namespace qm::server
