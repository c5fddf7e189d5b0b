#pragma once

#include "pictures/PngPicture.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// The magic at the start of a packed image store file.
inline constexpr std::string_view kPngPackMagic = "Velmora-Tax";

// Serves the desk's PNG images by relative name: from one packed file (many PNG files in one zlib
// block) and from loose files under a base folder. A packed picture is checked when the pack is
// loaded, and taking it gives its size; its pixels are decoded only when they are first drawn, then
// kept. A loose picture is decoded when it is first taken. Callers get a pointer to a picture the
// store owns. A reload replaces the picture in place, so holders of the pointer see the new
// picture; a loose file that still holds the bytes the picture came from is not decoded again.
// Used from the desk's thread only.
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
    const TPngPicture* TakePNG(const std::string& relaFile, bool reload = false);
    // Decodes now the picture TakePNG(relaFile) would give, so that drawing it later finds its
    // pixels; a failure is not raised here but when the picture is taken or drawn.
    void Prepare(const std::string& relaFile);
    // Whether TakePNG finds relaFile without raising: a packed or taken entry, or a loose file.
    bool Holds(const std::string& relaFile);

    const std::string& BaseDir() const noexcept { return baseDir_; }
    int Count() const noexcept { return static_cast<int>(images_.size()); }
    // The names of the entries in list order, found or not.
    std::vector<std::string> Names() const;
    // The full names of the small loose pictures taken so far, in the order they were first taken.
    const std::vector<std::string>& SmallLooseTaken() const noexcept { return smallLooseTaken_; }

private:
    struct TEntry {
        std::string name; // UTF-8
        // Keeps its address for the store's life.
        std::unique_ptr<TPngPicture> picture;
    };
    // The first entry whose name matches, ignoring ASCII case and the kind of folder delimiter.
    TEntry* Find(std::string_view name);
    // Clears, then appends the entries of an inflated payload; entries read before a failure stay.
    void ReadIndex(std::string_view payload, const std::string& file);

    // An entry behind earlier ones of the same name stays in the list but is never found.
    void Append(std::string name, std::unique_ptr<TPngPicture> picture);
    // Takes the loose file's picture into the entry, unless the entry already came from these bytes.
    static void Reload(TEntry& entry, const std::string& fullName);

    std::string baseDir_;
    std::vector<TEntry> images_;
    std::vector<std::string> smallLooseTaken_;
    // Folded name -> position of the first entry of that name, so that the desk's paint calls
    // find their pictures without walking the list.
    std::unordered_map<std::string, std::size_t> firstByName_;
};

// The deliverable's image store over PicturesPath, loaded from PngPackFile on first use. A pack
// that cannot be loaded raises to the first caller only; later calls return the store (serving
// loose files) without loading again.
TPngPack& PngPack();

// Loads the deliverable's store on a worker thread and prepares there the pictures named in
// firstDrawn (as TakePNG takes them), then runs afterwards on that thread; PngPack() waits for the
// store and raises its load failure as it would have. Called once, before the first PngPack().
void PreloadPngPack(std::vector<std::string> firstDrawn, std::function<void()> afterwards = {});

} // namespace qm
