#include "pictures/StartupPictures.h"

#include "pictures/PictureCache.h"
#include "pictures/PngPicture.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace qm {

namespace {

struct TDecodedAhead {
    std::mutex lock;
    std::unordered_map<std::string, TDecodedLoosePicture> pictures;
    // The list as this start read it, so that an unchanged one is not written again.
    std::vector<std::string> listed;
};

TDecodedAhead& DecodedAhead() {
    static TDecodedAhead decoded;
    return decoded;
}

std::vector<std::string> ReadList(const std::string& file) {
    std::vector<std::string> names;
    std::ifstream in(file);
    std::string line;
    while (names.size() < kMaxStartupPictures && std::getline(in, line)) {
        if (!line.empty())
            names.push_back(line);
    }
    return names;
}

// Only plain files below the pictures folder: the list is data in the user's cache, not a licence
// to read anything else.
bool BelowFolder(const std::string& name, std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    return !folder.empty() && name.size() > folder.size() + 1 &&
           name.compare(0, folder.size(), folder) == 0 && name[folder.size()] == '/' &&
           name.find("/../") == std::string::npos && name.find('\0') == std::string::npos;
}

std::optional<std::string> ReadSmallFile(const std::string& name) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(name, error);
    if (error || size > kMaxStartupPictureBytes)
        return std::nullopt;
    std::ifstream in(name, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    // A file that grew since is taken as far as its size then; the decoder judges the bytes.
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return std::nullopt;
    return bytes;
}

} // namespace

std::string StartupPictureListFile(const std::string& picturesDir) {
    if (PictureCacheFolder().empty())
        return {};
    std::string_view folder = picturesDir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray(folder.data(), static_cast<qsizetype>(folder.size())),
                                 QCryptographicHash::Sha256)
            .toHex();
    return PictureCacheFolder() + "/startup-" + digest.left(16).toStdString() + ".list";
}

void DecodeStartupPictures(const std::string& picturesDir) {
    const std::string listFile = StartupPictureListFile(picturesDir);
    if (listFile.empty())
        return;
    std::vector<std::string> names = ReadList(listFile);
    {
        const std::lock_guard guard(DecodedAhead().lock);
        DecodedAhead().listed = names;
    }
    for (const std::string& name : names) {
        if (!BelowFolder(name, picturesDir))
            continue;
        std::optional<std::string> bytes = ReadSmallFile(name);
        if (!bytes)
            continue;
        try {
            QImage image = DecodeForDesk(*bytes, name);
            const std::lock_guard guard(DecodedAhead().lock);
            DecodedAhead().pictures.try_emplace(name,
                                                TDecodedLoosePicture{std::move(*bytes), std::move(image)});
        } catch (const std::exception&) {
            // Left to the desk's thread, which meets the same failure and reports it.
        }
    }
}

std::optional<TDecodedLoosePicture> TakeDecodedStartupPicture(const std::string& fullName) {
    const std::lock_guard guard(DecodedAhead().lock);
    const auto found = DecodedAhead().pictures.find(fullName);
    if (found == DecodedAhead().pictures.end())
        return std::nullopt;
    TDecodedLoosePicture picture = std::move(found->second);
    DecodedAhead().pictures.erase(found);
    return picture;
}

void RememberStartupPictures(const std::string& picturesDir, const std::vector<std::string>& fullNames) {
    const std::string listFile = StartupPictureListFile(picturesDir);
    if (listFile.empty())
        return;
    std::vector<std::string> names;
    std::unordered_set<std::string_view> seen;
    for (const std::string& name : fullNames) {
        // The store keeps a file taken under two spellings of its name twice; it is decoded once.
        if (names.size() < kMaxStartupPictures && BelowFolder(name, picturesDir) &&
            name.find('\n') == std::string::npos && seen.insert(name).second)
            names.push_back(name);
    }
    {
        const std::lock_guard guard(DecodedAhead().lock);
        if (names == DecodedAhead().listed)
            return;
        DecodedAhead().listed = names;
    }
    std::string text;
    for (const std::string& name : names)
        text += name + '\n';
    // A cache file: renamed into place whole, but not worth waiting for the disk.
    const std::string temporary = listFile + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::remove(temporary.c_str());
            return;
        }
    }
    if (std::rename(temporary.c_str(), listFile.c_str()) != 0)
        std::remove(temporary.c_str());
}

} // namespace qm
