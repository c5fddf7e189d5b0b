#include "pictures/PngPack.h"

#include "common/FileBytes.h"
#include "common/Paths.h"
#include "common/TextEncoding.h"
#include "common/TextTrim.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"
#include "pictures/PictureCache.h"
#include "pictures/PngDecode.h"
#include "pictures/StartupPictures.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <libdeflate.h>
#include <memory>

namespace qm {
namespace {

constexpr const char* kLoadFileLocation = "TPngPack.LoadFile(AFile: string)";
constexpr const char* kTakePngLocation =
    "TPngPack.TakePNG(ARelaFile: string; bReload: Boolean = False): TPNGObject";
constexpr const char* kFileMissing = "文件(%s)不存在！";
constexpr const char* kFileMalformed = "文件(%s)格式错误!";
constexpr const char* kFileUnreadable = "文件(%s)无法读取: %s";
constexpr const char* kImageMalformed = "图片(%s)格式错误: %s";

// A pack is input from disk, so every length in it is held against what can really be there before
// anything is allocated. Deflate expands at most 1032 times; the slack covers the zlib header and
// trailer of tiny streams. No desk's pictures come near the absolute cap.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 1024;
constexpr std::uint64_t kMaxPayloadSize = std::uint64_t{512} << 20;
// An entry holds at least its two lengths.
constexpr std::size_t kMinEntrySize = 8;

// Reads the fields of a pack in order. Every read is checked against the bytes that remain.
class TFieldReader {
public:
    explicit TFieldReader(std::string_view bytes) noexcept : rest_(bytes) {}

    // A 32-bit little-endian signed length; false when fewer than four bytes remain or it is negative.
    bool ReadLength(std::size_t& length) noexcept {
        if (rest_.size() < 4)
            return false;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(rest_[static_cast<std::size_t>(i)]);
        rest_.remove_prefix(4);
        if (value > INT32_MAX)
            return false;
        length = value;
        return true;
    }

    bool ReadBytes(std::size_t count, std::string_view& bytes) noexcept {
        if (count > rest_.size())
            return false;
        bytes = rest_.substr(0, count);
        rest_.remove_prefix(count);
        return true;
    }

    std::string_view Rest() const noexcept { return rest_; }

private:
    std::string_view rest_;
};

[[noreturn]] void RaiseMalformed(const std::string& file) {
    throw corvane::ETax(corvane::FormatText(kFileMalformed, file), kLoadFileLocation);
}

struct TDecompressorDeleter {
    void operator()(libdeflate_decompressor* inflater) const noexcept {
        libdeflate_free_decompressor(inflater);
    }
};

// The compressed block: U, then a zlib stream that must inflate to exactly U bytes.
bool DecompressBlock(std::string_view block, std::string& payload) {
    TFieldReader reader(block);
    std::size_t size = 0;
    if (!reader.ReadLength(size))
        return false;
    const std::string_view stream = reader.Rest();
    if (size > kMaxPayloadSize || size > kMaxInflateRatio * stream.size() + kInflateSlack)
        return false;
    payload.assign(size, '\0');
    const std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater)
        return false;
    // Success only when the stream ends, with its checksum verified, after exactly U bytes.
    return libdeflate_zlib_decompress(inflater.get(), stream.data(), stream.size(), payload.data(), size,
                                      nullptr) == LIBDEFLATE_SUCCESS;
}

// Installation data names folders with "\", callers may use "/": both mean the same delimiter.
char FoldName(char c) noexcept {
    return c == '\\' ? '/' : corvane::FoldAscii(c);
}

// The key of a name in the lookup table.
std::string FoldedName(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldName);
    return folded;
}

// The bytes of a loose file; its failures are the desk's (EUI).
std::string ReadLooseFile(const std::string& fullName) {
    TResult<std::string> bytes = ReadFileBytes(ToNativePath(fullName));
    if (!bytes)
        throw corvane::EUI(corvane::FormatText(kFileUnreadable, fullName, bytes.Reason()), kTakePngLocation);
    return std::move(*bytes);
}

} // namespace

TPngPack::TPngPack(const std::string& baseDir)
    : baseDir_(DirectoryExists(baseDir) ? baseDir : std::string()) {}

TPngPack::~TPngPack() = default;

void TPngPack::ClearImages() {
    firstByName_.clear();
    images_.clear();
    smallLooseTaken_.clear();
}

void TPngPack::LoadFile(const std::string& file) {
    if (!FileExists(file))
        throw corvane::ETax(corvane::FormatText(kFileMissing, file), kLoadFileLocation);
    TResult<std::string> read = ReadFileBytes(ToNativePath(file));
    if (!read)
        throw corvane::ETax(corvane::FormatText(kFileUnreadable, file, read.Reason()), kLoadFileLocation);
    std::string bytes = std::move(*read);

    TFieldReader reader(bytes);
    std::string_view magic;
    if (!reader.ReadBytes(kPngPackMagic.size(), magic) || magic != kPngPackMagic)
        RaiseMalformed(file);
    std::size_t blockSize = 0;
    std::string_view block;
    if (!reader.ReadLength(blockSize) || !reader.ReadBytes(blockSize, block))
        RaiseMalformed(file);
    std::string payload;
    if (!DecompressBlock(block, payload))
        RaiseMalformed(file);
    bytes = std::string(); // only the payload is needed from here on
    ReadIndex(payload, file);
}

void TPngPack::ReadIndex(std::string_view payload, const std::string& file) {
    ClearImages();
    TFieldReader reader(payload);
    std::size_t count = 0;
    if (!reader.ReadLength(count) || count > reader.Rest().size() / kMinEntrySize)
        RaiseMalformed(file);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t nameLength = 0;
        std::size_t dataLength = 0;
        std::string_view name;
        std::string_view data;
        if (!reader.ReadLength(nameLength) || !reader.ReadBytes(nameLength, name) ||
            !reader.ReadLength(dataLength) || !reader.ReadBytes(dataLength, data))
            RaiseMalformed(file);
        // Names are written in GBK; inside the program they are UTF-8.
        std::string utf8Name = DecodeText(name);
        // Decoding waits until the picture is drawn; what can be checked cheaply is checked here.
        std::string error;
        QSize size;
        if (!CheckPng(data, size, error))
            throw corvane::ETax(corvane::FormatText(kImageMalformed, utf8Name, error), kLoadFileLocation);
        auto picture = std::make_unique<TPngPicture>(utf8Name, std::string(data), size);
        Append(std::move(utf8Name), std::move(picture));
    }
}

std::vector<std::string> TPngPack::Names() const {
    std::vector<std::string> names;
    names.reserve(images_.size());
    for (const TEntry& entry : images_)
        names.push_back(entry.name);
    return names;
}

TPngPack::TEntry* TPngPack::Find(std::string_view name) {
    const auto found = firstByName_.find(FoldedName(name));
    return found == firstByName_.end() ? nullptr : &images_[found->second];
}

void TPngPack::Append(std::string name, std::unique_ptr<TPngPicture> picture) {
    images_.push_back({std::move(name), std::move(picture)});
    try {
        firstByName_.try_emplace(FoldedName(images_.back().name), images_.size() - 1);
    } catch (...) {
        images_.pop_back(); // list and table stay in step
        throw;
    }
}

void TPngPack::Reload(TEntry& entry, const std::string& fullName) {
    std::string bytes = ReadLooseFile(fullName);
    if (bytes == entry.picture->Source())
        return; // the same picture, decoded when it is drawn
    // In place: whoever holds the picture sees the new one.
    QImage image = DecodeForDesk(bytes, fullName);
    entry.picture->Replace(fullName, std::move(bytes), std::move(image));
}

void TPngPack::Prepare(const std::string& relaFile) {
    if (TEntry* entry = Find(relaFile)) {
        entry->picture->Prepare();
        return;
    }
    try {
        TakePNG(relaFile);
    } catch (const std::exception&) {
        // Nothing was kept: the desk's own TakePNG meets the failure and reports it.
    }
}

bool TPngPack::Holds(const std::string& relaFile) {
    return !TrimWhitespace(relaFile, kBlanksAndControls).empty() && (Find(relaFile) != nullptr || FileExists(ExpandPath(baseDir_, relaFile)));
}

const TPngPicture* TPngPack::TakePNG(const std::string& relaFile, bool reload) {
    if (TrimWhitespace(relaFile, kBlanksAndControls).empty())
        return nullptr;
    const std::string fullName = ExpandPath(baseDir_, relaFile);
    if (TEntry* entry = Find(relaFile)) {
        if (reload && FileExists(fullName))
            Reload(*entry, fullName);
        return entry->picture.get();
    }
    std::string bytes;
    QImage image;
    if (std::optional<TDecodedLoosePicture> ahead = TakeDecodedStartupPicture(fullName)) {
        bytes = std::move(ahead->bytes);
        image = std::move(ahead->image);
    } else {
        if (!FileExists(fullName))
            throw corvane::EUI(corvane::FormatText(kFileMissing, fullName), kTakePngLocation);
        bytes = ReadLooseFile(fullName);
        image = DecodeForDesk(bytes, fullName);
    }
    // Large pictures come from the picture cache, mapped, at no cost worth taking ahead.
    if (!IsKeptPicture(image))
        smallLooseTaken_.push_back(fullName);
    Append(relaFile, std::make_unique<TPngPicture>(fullName, std::move(bytes), std::move(image)));
    return images_.back().picture.get();
}

} // namespace qm
