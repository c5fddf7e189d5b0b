#pragma once

#include <QImage>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// The magic at the start of a packed image store file.
inline constexpr std::string_view kPngPackMagic = "Velmora-Tax";

// Serves the desk's PNG images by relative name: from one packed file (many PNG files in one zlib
// block) and from loose files under a base folder. Every image is decoded once and kept; callers
// get a pointer to an image the store owns. A reload replaces the picture in place, so holders of
// the pointer see the new picture.
class TPngPack {
public:
    // BaseDir is kept only when that folder exists.
    explicit TPngPack(const std::string& baseDir);
    ~TPngPack();
    TPngPack(const TPngPack&) = delete;
    TPngPack& operator=(const TPngPack&) = delete;

    void ClearImages();
    // Replaces the content with the images of a packed file.
    void LoadFile(const std::string& file);
    // nullptr for a blank name.
    const QImage* TakePNG(const std::string& relaFile, bool reload = false);

    const std::string& BaseDir() const noexcept { return baseDir_; }
    int Count() const noexcept { return static_cast<int>(images_.size()); }

private:
    struct TEntry {
        std::string name; // UTF-8
        std::unique_ptr<QImage> image;
    };
    // The first entry whose name matches, ignoring ASCII case and the kind of folder delimiter.
    TEntry* Find(std::string_view name);
    // Clears, then appends the entries of an inflated payload; entries read before a failure stay.
    void ReadIndex(std::string_view payload, const std::string& file);

    // An entry behind earlier ones of the same name stays in the list but is never found.
    void Append(std::string name, std::unique_ptr<QImage> image);

    std::string baseDir_;
    std::vector<TEntry> images_;
    // Folded name -> position of the first entry of that name, so that the desk's paint calls
    // find their pictures without walking the list.
    std::unordered_map<std::string, std::size_t> firstByName_;
};

// The deliverable's image store over PicturesPath, loaded from PngPackFile on first use. A pack
// that cannot be loaded raises to the first caller only; later calls return the store (serving
// loose files) without loading again.
TPngPack& PngPack();

} // namespace qm
