#pragma once

#include "tests/support/TempFolder.h"

#include <filesystem>
#include <string>
#include <vector>

// Reading the built sample installation and the files of the skin generator.
namespace sample {

// The folder the sample installation data is assembled in at build time (Config/, Pictures/,
// Plugins/), exactly as it is installed.
std::filesystem::path ImageDir();
// The skin generator program.
std::filesystem::path SkinGenerator();

std::string ReadBytes(const std::filesystem::path& file);
// Every regular file below folder, as paths relative to it, in name order.
std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& folder);

// One entry of a packed image store file.
struct TPackEntry {
    std::string name;
    std::string data;
};
// Reads a packed image store file ("pngs.sys") field by field; throws std::runtime_error naming
// the first field that is not as it must be.
std::vector<TPackEntry> ReadPackFile(const std::filesystem::path& file);

using qm::test::TTempFolder;

} // namespace sample
