#include "pictures/PictureCache.h"

#include "pictures/BigEndian.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

// An entry: this header, then the rows of a Format_ARGB32 image without padding.
struct TEntryHeader {
    char magic[8];
    std::uint32_t width;
    std::uint32_t height;
};
static_assert(sizeof(TEntryHeader) == 16);
constexpr char kMagic[8] = {'Q', 'M', 'P', 'I', 'X', 'v', '1', '\0'};
constexpr int kWriteDelayMs = 3000;

std::string& Folder() {
    static std::string folder;
    return folder;
}

std::string& ShippedFolder() {
    static std::string folder;
    return folder;
}

// The entry of a picture is named by a digest of its chunk table: the file's length and, for every
// chunk, its length, type and stored CRC (and the header's fields). Each CRC covers its chunk, so a
// changed picture meets another entry, yet naming it reads a few bytes per chunk instead of the
// whole file. "" for bytes that are no complete chunk list: such a picture is not cached.
std::string EntryName(std::string_view png) {
    constexpr std::size_t kSignatureSize = 8;
    constexpr std::size_t kHeaderBodySize = 13;
    if (png.size() < kSignatureSize)
        return {};
    QCryptographicHash digest(QCryptographicHash::Sha256);
    const std::uint64_t total = png.size();
    digest.addData(QByteArrayView(reinterpret_cast<const char*>(&total), sizeof total));
    std::size_t at = kSignatureSize;
    bool ended = false;
    while (!ended) {
        if (png.size() - at < 12)
            return {};
        const std::uint32_t length = BigEndian32(png.data() + at);
        if (length > png.size() - at - 12)
            return {};
        const std::string_view type = png.substr(at + 4, 4);
        digest.addData(QByteArrayView(png.data() + at, 8));
        if (type == "IHDR" && length == kHeaderBodySize)
            digest.addData(QByteArrayView(png.data() + at + 8, kHeaderBodySize));
        digest.addData(QByteArrayView(png.data() + at + 8 + length, 4));
        ended = type == "IEND";
        at += 12 + std::size_t{length};
    }
    return digest.result().toHex().toStdString() + ".argb";
}

std::size_t EntrySize(std::uint64_t width, std::uint64_t height) {
    return sizeof(TEntryHeader) + static_cast<std::size_t>(width * height * 4);
}

void UnmapEntry(void* mapping) {
    TEntryHeader header;
    std::memcpy(&header, mapping, sizeof header);
    munmap(mapping, EntrySize(header.width, header.height));
}

class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd) noexcept : fd_(fd) {}
    ~TFileDescriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    int Get() const noexcept { return fd_; }

private:
    int fd_;
};

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

void SetPictureCacheFolder(const std::string& folder) {
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    Folder() = folder;
}

const std::string& PictureCacheFolder() {
    return Folder();
}

std::string DefaultPictureCacheFolder() {
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    if (cacheHome != nullptr && cacheHome[0] == '/')
        return std::string(cacheHome) + "/quillmere/pictures";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.cache/quillmere/pictures";
    return {};
}

namespace {

// The picture of a sound entry file, its pixels mapped from the file; nothing for a missing, short
// or foreign one.
std::optional<QImage> MapEntry(const std::string& entry) {
    const TFileDescriptor file(open(entry.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.Get() < 0 || fstat(file.Get(), &status) != 0 ||
        static_cast<std::size_t>(status.st_size) < sizeof(TEntryHeader))
        return std::nullopt;
    TEntryHeader header;
    if (pread(file.Get(), &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.width == 0 || header.height == 0 ||
        header.width > 1u << 16 || header.height > 1u << 16 ||
        static_cast<std::size_t>(status.st_size) != EntrySize(header.width, header.height))
        return std::nullopt;
    // Private and read-only: nothing the desk does can reach the file.
    void* mapping = mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ,
                         MAP_PRIVATE | MAP_POPULATE, file.Get(), 0);
    if (mapping == MAP_FAILED)
        return std::nullopt;
    const auto* pixels = static_cast<const uchar*>(mapping) + sizeof(TEntryHeader);
    return QImage(pixels, static_cast<int>(header.width), static_cast<int>(header.height),
                  static_cast<qsizetype>(header.width) * 4, QImage::Format_ARGB32, UnmapEntry, mapping);
}

} // namespace

void SetShippedPictureFolder(const std::string& folder) {
    ShippedFolder() = folder;
}

const std::string& ShippedPictureFolder() {
    return ShippedFolder();
}

std::string ShippedPictureFolderOf(const std::string& packFile) {
    std::filesystem::path folder(packFile);
    folder.replace_extension(".decoded");
    return folder.string();
}

std::optional<QImage> FindCachedPicture(std::string_view png) {
    if (Folder().empty() && ShippedFolder().empty())
        return std::nullopt;
    const std::string name = EntryName(png);
    if (name.empty())
        return std::nullopt;
    if (!Folder().empty())
        if (std::optional<QImage> cached = MapEntry(Folder() + "/" + name))
            return cached;
    if (!ShippedFolder().empty())
        return MapEntry(ShippedFolder() + "/" + name);
    return std::nullopt;
}

namespace {

bool WriteEntry(const std::string& target, const QImage& decoded) {
    // Written aside and renamed, so that a reader never maps a half-written entry.
    std::string temporary = target + ".XXXXXX";
    const TFileDescriptor file(mkstemp(temporary.data()));
    if (file.Get() < 0)
        return false;
    TEntryHeader header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.width = static_cast<std::uint32_t>(decoded.width());
    header.height = static_cast<std::uint32_t>(decoded.height());
    bool written = WriteAll(file.Get(), &header, sizeof header);
    for (int y = 0; written && y < decoded.height(); ++y)
        written =
            WriteAll(file.Get(), decoded.constScanLine(y), static_cast<std::size_t>(decoded.width()) * 4);
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

namespace {

thread_local TCollectedCacheWrites* collecting = nullptr;

} // namespace

TCollectedCacheWrites::TCollectedCacheWrites() : outer_(std::exchange(collecting, this)) {}

TCollectedCacheWrites::~TCollectedCacheWrites() {
    collecting = outer_;
}

void TCollectedCacheWrites::Collect(std::string target, QImage decoded) {
    entries_.emplace_back(std::move(target), std::move(decoded));
}

void TCollectedCacheWrites::Write() {
    for (const auto& [target, decoded] : entries_)
        WriteEntry(target, decoded);
    entries_.clear();
}

bool IsKeptPicture(const QImage& decoded) {
    // Smaller pictures cost less to decode than to map.
    return decoded.format() == QImage::Format_ARGB32 &&
           qsizetype{decoded.width()} * decoded.height() >= kMinCachedPixels;
}

bool WriteShippedPicture(const std::string& folder, std::string_view png, const QImage& decoded) {
    const std::string name = EntryName(png);
    if (folder.empty() || name.empty() || !IsKeptPicture(decoded))
        return false;
    const std::string target = folder + "/" + name;
    // Installed for every user of the installation, while the private cache's entries are the user's.
    return WriteEntry(target, decoded) && chmod(target.c_str(), 0644) == 0;
}

void KeepCachedPicture(std::string_view png, const QImage& decoded) {
    if (Folder().empty() || !IsKeptPicture(decoded))
        return;
    const std::string name = EntryName(png);
    if (name.empty())
        return;
    std::string target = Folder() + "/" + name;
    if (collecting != nullptr) {
        collecting->Collect(target, decoded);
        return;
    }
    // Writing megabytes is nothing the user waits for: in a running program it waits until the
    // start is over (an entry not written by then is written on a later start).
    if (QCoreApplication::instance() == nullptr) {
        WriteEntry(target, decoded);
        return;
    }
    QTimer::singleShot(kWriteDelayMs, QCoreApplication::instance(),
                       [target, decoded] { WriteEntry(target, decoded); });
}

} // namespace qm
