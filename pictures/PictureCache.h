#pragma once

#include <QImage>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Decoded large pictures kept on disk between starts. A desk background is a few dozen kilobytes
// of PNG but megabytes of pixels: inflating them and touching fresh memory for them is most of
// what showing the desk costs. From the cache the pixels are mapped straight from the file, which
// the system usually still holds in memory.
//
// Entries are named by a digest of the PNG file's chunk table (lengths, types and the CRC each
// chunk carries), so a changed picture meets no old entry, and naming one never reads the whole
// file on the desk's thread. A missing, short or foreign entry is simply decoded again; writing one that
// fails is not an error. The cache is off until a folder is set (the desk program sets one).
namespace qm {

// Pictures with fewer pixels are decoded as before: they cost less than a file.
inline constexpr qsizetype kMinCachedPixels = 256 * 1024;

// Turns the cache on in `folder` (created when needed), or off with "".
void SetPictureCacheFolder(const std::string& folder);
const std::string& PictureCacheFolder();

// The folder the desk uses: $XDG_CACHE_HOME/quillmere/pictures, else ~/.cache/quillmere/pictures.
std::string DefaultPictureCacheFolder();

// Turns on, or off with "", a read-only folder of entries made when the installation was built: it
// is looked in when the cache has no entry, so the first start after installing maps the large
// pictures instead of decoding them.
void SetShippedPictureFolder(const std::string& folder);
const std::string& ShippedPictureFolder();

// Where the entries for the pictures of the pack `packFile` are shipped: beside it, its name with
// ".decoded" for its extension ("Config/pngs.decoded" for "Config/pngs.sys").
std::string ShippedPictureFolderOf(const std::string& packFile);

// The decoded picture of these PNG bytes from the cache or, failing that, the shipped folder
// (Format_ARGB32, read-only pixels), or nothing when neither holds a sound entry for them.
std::optional<QImage> FindCachedPicture(std::string_view png);

// Whether the cache keeps a decoded picture: a large one as the decoder gives it (Format_ARGB32).
bool IsKeptPicture(const QImage& decoded);

// Writes now, into `folder`, the entry a later FindCachedPicture finds for these PNG bytes; false
// when the picture is not one that is kept, its bytes are no complete chunk list, or the entry
// could not be written.
bool WriteShippedPicture(const std::string& folder, std::string_view png, const QImage& decoded);

// Keeps the decoded picture of these PNG bytes, when the cache is on and the picture is large.
void KeepCachedPicture(std::string_view png, const QImage& decoded);

// While one lives, the entries its thread keeps are collected instead of waiting for the desk's
// timer, and Write() writes them on that thread: a worker decoding pictures hands them over first
// and writes afterwards. Destroyed unwritten, it drops them (a later start writes them).
class TCollectedCacheWrites {
public:
    TCollectedCacheWrites();
    ~TCollectedCacheWrites();
    TCollectedCacheWrites(const TCollectedCacheWrites&) = delete;
    TCollectedCacheWrites& operator=(const TCollectedCacheWrites&) = delete;

    void Collect(std::string target, QImage decoded);
    void Write();

private:
    std::vector<std::pair<std::string, QImage>> entries_;
    TCollectedCacheWrites* outer_;
};

} // namespace qm
