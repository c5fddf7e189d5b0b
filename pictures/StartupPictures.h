#pragma once

#include <QImage>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The small loose pictures the desk took while it started last time (the boot scripts' icons),
// decoded again on the start-up worker while the desk's thread builds the window, so that the
// scripts find them ready. The list is kept in the picture cache's folder, one per pictures folder;
// a missing or damaged list only means that nothing is decoded ahead.
namespace qm {

inline constexpr std::size_t kMaxStartupPictures = 256;
inline constexpr std::size_t kMaxStartupPictureBytes = 1024 * 1024;

struct TDecodedLoosePicture {
    std::string bytes; // the PNG file as it was read
    QImage image;
};

// The list's file for a pictures folder; "" while the picture cache is off.
std::string StartupPictureListFile(const std::string& picturesDir);

// On the worker: decodes the pictures the list names below picturesDir, at most
// kMaxStartupPictures of at most kMaxStartupPictureBytes each. A picture that cannot be read or
// decoded is left to the desk's thread, which reports it when it takes it.
void DecodeStartupPictures(const std::string& picturesDir);

// On the desk's thread: the picture decoded ahead for this file, taken out; nothing when there is
// none (yet).
std::optional<TDecodedLoosePicture> TakeDecodedStartupPicture(const std::string& fullName);

// On the desk's thread, once it has started: keeps fullNames, the small loose pictures it took in
// the order it took them, as the list for the next start. Writes only when the list changed.
void RememberStartupPictures(const std::string& picturesDir, const std::vector<std::string>& fullNames);

} // namespace qm
