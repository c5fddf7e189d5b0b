#include "SampleFiles.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <unistd.h>
#include <zlib.h>

namespace sample {

namespace fs = std::filesystem;

fs::path ImageDir() {
    return QM_SAMPLE_IMAGE_DIR;
}

fs::path SkinGenerator() {
    return QM_SKINGEN;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(fs::file_size(file)), '\0');
    if (!stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot read " + file.string());
    return bytes;
}

std::vector<fs::path> FilesBelow(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), folder));
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

class TFieldReader {
public:
    TFieldReader(std::string_view bytes, std::string what) : rest_(bytes), what_(std::move(what)) {}

    std::uint32_t Length(const char* field) {
        const std::string_view bytes = Bytes(4, field);
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        if (value > INT32_MAX)
            throw std::runtime_error(what_ + ": negative " + field);
        return value;
    }

    std::string_view Bytes(std::size_t count, const char* field) {
        if (count > rest_.size())
            throw std::runtime_error(what_ + ": " + field + " runs past the end");
        const std::string_view bytes = rest_.substr(0, count);
        rest_.remove_prefix(count);
        return bytes;
    }

    bool AtEnd() const noexcept { return rest_.empty(); }

private:
    std::string_view rest_;
    std::string what_;
};

} // namespace

std::vector<TPackEntry> ReadPackFile(const fs::path& file) {
    const std::string bytes = ReadBytes(file);
    TFieldReader fileFields(bytes, file.string());
    if (fileFields.Bytes(11, "magic") != "Velmora-Tax")
        throw std::runtime_error(file.string() + ": wrong magic");
    const std::uint32_t blockLength = fileFields.Length("block length C");
    TFieldReader block(fileFields.Bytes(blockLength, "compressed block"), "compressed block");
    const std::uint32_t payloadLength = block.Length("payload length U");
    const std::string_view stream = block.Bytes(blockLength - 4, "zlib stream");

    std::string payload(payloadLength, '\0');
    uLongf inflated = payloadLength;
    if (uncompress(reinterpret_cast<Bytef*>(payload.data()), &inflated,
                   reinterpret_cast<const Bytef*>(stream.data()),
                   static_cast<uLong>(stream.size())) != Z_OK ||
        inflated != payloadLength)
        throw std::runtime_error(file.string() + ": the zlib stream does not inflate to U bytes");

    TFieldReader fields(payload, "payload");
    const std::uint32_t count = fields.Length("entry count N");
    std::vector<TPackEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        TPackEntry entry;
        entry.name = std::string(fields.Bytes(fields.Length("name length L"), "name"));
        entry.data = std::string(fields.Bytes(fields.Length("data length D"), "data"));
        entries.push_back(std::move(entry));
    }
    if (!fields.AtEnd())
        throw std::runtime_error(file.string() + ": bytes after the last entry");
    return entries;
}

} // namespace sample
