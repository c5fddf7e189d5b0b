#include "tools/pngpack/PackWriter.h"

#include "common/FileBytes.h"
#include "common/TextEncoding.h"
#include "corvane/TextCase.h"
#include "pictures/PngPack.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <unistd.h>
#include <zlib.h>

namespace qm {
namespace {

void AppendLength(std::string& out, std::size_t length) {
    if (length > INT32_MAX)
        throw std::length_error("a pack field cannot be longer than 2 GiB");
    const auto value = static_cast<std::uint32_t>(length);
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendField(std::string& out, std::string_view bytes) {
    AppendLength(out, bytes.size());
    out += bytes;
}

std::string ReadPictureBytes(const std::filesystem::path& fileName) {
    TResult<std::string> bytes = ReadFileBytes(fileName.string());
    if (!bytes)
        throw std::system_error(bytes.Code(), std::generic_category(),
                                "cannot " + bytes.Detail() + " " + fileName.string());
    return std::move(*bytes);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string EncodePackPayload(const std::vector<TPackEntry>& entries) {
    std::string payload;
    AppendLength(payload, entries.size());
    for (const TPackEntry& entry : entries) {
        AppendField(payload, entry.name);
        AppendField(payload, entry.data);
    }
    return payload;
}

namespace {

std::string ZlibStream(std::string_view payload, int level) {
    std::string stream(compressBound(payload.size()), '\0');
    uLongf streamSize = stream.size();
    if (compress2(reinterpret_cast<Bytef*>(stream.data()), &streamSize,
                  reinterpret_cast<const Bytef*>(payload.data()), payload.size(), level) != Z_OK)
        throw std::runtime_error("the payload cannot be compressed");
    stream.resize(streamSize);
    return stream;
}

} // namespace

std::string EncodePackFile(std::string_view payload) {
    // PNG files are compressed already, so deflating them again rarely saves anything, while every
    // start of the desk pays for inflating the pack. Unless it saves a tenth, the stream keeps the
    // payload in stored blocks, which any zlib reader takes and inflates at the speed of a copy.
    std::string stream = ZlibStream(payload, Z_BEST_COMPRESSION);
    if (stream.size() > payload.size() / 10 * 9)
        stream = ZlibStream(payload, Z_NO_COMPRESSION);

    std::string block;
    AppendLength(block, payload.size());
    block += stream;
    std::string file(kPngPackMagic);
    AppendField(file, block);
    return file;
}

std::string PackEntryName(const std::filesystem::path& relative) {
    std::string name;
    for (const std::filesystem::path& part : relative) {
        if (!name.empty())
            name += '\\';
        name += part.string();
    }
    // File names on this system are UTF-8; the pack keeps the ANSI bytes installation data uses.
    return IsAscii(name) ? name : EncodeGbk(name);
}

std::vector<TPackEntry> CollectPngFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
        if (item.is_regular_file() && corvane::EndsWithText(item.path().filename().string(), ".png"))
            files.push_back(std::filesystem::relative(item.path(), folder));

    std::vector<std::pair<std::string, std::filesystem::path>> named;
    for (const auto& relative : files) {
        std::string utf8 = relative.generic_string();
        std::replace(utf8.begin(), utf8.end(), '/', '\\');
        named.emplace_back(std::move(utf8), relative);
    }
    std::sort(named.begin(), named.end());

    std::vector<TPackEntry> entries;
    for (const auto& [utf8, relative] : named)
        entries.push_back({PackEntryName(relative), ReadPictureBytes(folder / relative)});
    return entries;
}

void WritePackFile(const std::filesystem::path& fileName, std::string_view bytes) {
    std::string temporary = fileName.string() + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        throw std::system_error(errno, std::generic_category(),
                                "cannot create a file beside " + fileName.string());
    close(descriptor);
    try {
        {
            std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
            stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            stream.close();
            if (!stream)
                throw std::runtime_error("cannot write " + temporary);
        }
        std::filesystem::permissions(
            temporary, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                           std::filesystem::perms::group_read | std::filesystem::perms::others_read);
        std::filesystem::rename(temporary, fileName);
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
}

} // namespace qm
