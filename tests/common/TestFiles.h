#pragma once

#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <string>

// Temporary folders and raw file bytes for the support library's tests.
namespace qm::test {

inline std::string ReadBytes(const std::string& fileName) {
    std::ifstream stream(fileName, std::ios::binary);
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

inline void WriteBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream stream(fileName, std::ios::binary | std::ios::trunc);
    stream << bytes;
    if (!stream)
        throw std::runtime_error("cannot write " + fileName);
}

} // namespace qm::test
