#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace qm::fuzz {

// A folder of its own per fuzzing process, holding the file the reader under test is given; rewritten
// for every input and removed with the process. Readers take file names, so the input goes through a
// real file.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& prefix)
        : path_(std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    std::string Path() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    // Replaces the folder's file `name` with bytes and returns its full name; aborts when it cannot,
    // since every later input would then test nothing.
    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::string fileName = File(name);
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "wb"),
                                                                   std::fclose);
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
            std::abort();
        return fileName;
    }

private:
    std::filesystem::path path_;
};

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace qm::fuzz
