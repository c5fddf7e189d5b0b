#include "common/Paths.h"

#include "common/TextTrim.h"
#include "corvane/ProgramFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unistd.h>

// How ExpandPath resolves a path against a base folder or URL.
//
// Installation data was written for Windows, so the rules work on "\" (Windows form):
//  1. An empty base gives the path, an empty path gives the base.
//  2. A path is absolute, and comes back unchanged, when ":\" stands at its second character (drive),
//     when it begins with "\\" (UNC) or when it contains "://" anywhere (URL).
//  3. The base is a URL when it contains "://". Both texts are worked on with "/" turned into "\".
//  4. A plain relative path loses one leading ".\"; the base loses one trailing delimiter; every
//     leading "..\" of the path climbs one folder of the base; then base, "\" and path are joined.
//     Climbing stops at the base's root: "C:\" (a drive root keeps its backslash), "\\server",
//     "scheme://host" or "\", so a surplus "..\" can never turn a folder into a bare drive letter
//     or strip the host from a URL.
//  5. A root-relative path ("\x") takes the root of the base: "C:" of a drive, "\\server" of a UNC
//     name, "scheme://host" of a URL. Against any other base it comes back unchanged.
//  6. A result on a URL base uses "/" separators.
//
// Native form (the program's own paths on Linux) follows the same rules, and in addition a path
// beginning with "/" is absolute unless the base is a URL. Every result that is not a URL comes back
// with "/" separators, since "\" in installation data means a folder delimiter.
namespace qm {
namespace {

constexpr char kBackslash = '\\';

std::string Trim(std::string_view s) {
    return TrimmedCopy(s, kBlanksAndControls);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

bool IsUrl(std::string_view s) {
    return Contains(s, "://");
}

// ":\" at the second character.
bool HasDrive(std::string_view s) {
    return s.size() >= 3 && s[1] == ':' && s[2] == kBackslash;
}

std::string Replaced(std::string s, char from, char to) {
    std::replace(s.begin(), s.end(), from, to);
    return s;
}

std::string AddDelim(const std::string& s, char delim) {
    std::string result = Trim(s);
    if (!result.empty() && result.back() != delim)
        result += delim;
    return result;
}

// The part of a "\"-separated folder that ".." never climbs above, as text: "scheme:\\host" of a URL,
// "C:\", "\\server", "\" or "" for a plain relative folder.
std::string RootOf(const std::string& folder, bool isUrl) {
    if (isUrl) {
        const std::size_t scheme = folder.find(":\\\\");
        if (scheme != std::string::npos)
            return folder.substr(0, folder.find(kBackslash, scheme + 3));
    }
    if (folder.size() >= 2 && folder[1] == ':' && (folder.size() == 2 || folder[2] == kBackslash))
        return folder.substr(0, 2) + kBackslash;
    if (StartsWith(folder, "\\\\"))
        return folder.substr(0, folder.find(kBackslash, 2));
    if (StartsWith(folder, "\\"))
        return "\\";
    return "";
}

// The folder without its last component, never above its root.
std::string ParentFolder(const std::string& folder, bool isUrl) {
    const std::string root = RootOf(folder, isUrl);
    const std::size_t delim = folder.rfind(kBackslash);
    if (folder.size() <= root.size() || delim == std::string::npos || delim < root.size())
        return root;
    return folder.substr(0, delim);
}

// The rules above on "\"-separated text; `slashIsAbsolute` adds the native rule for "/".
std::string Resolve(const std::string& base, const std::string& path, bool slashIsAbsolute) {
    if (base.empty())
        return path;
    if (path.empty())
        return base;
    if (HasDrive(path) || StartsWith(path, "\\\\") || IsUrl(path))
        return path;
    const bool baseIsUrl = IsUrl(base);
    if (slashIsAbsolute && !baseIsUrl && StartsWith(path, "/"))
        return path;

    std::string b = Replaced(base, '/', kBackslash);
    std::string p = Replaced(path, '/', kBackslash);
    std::string result;
    if (p.front() != kBackslash) {
        if (StartsWith(p, ".\\"))
            p.erase(0, 2);
        // A lone root "\" is a folder of its own; dropping its delimiter would lose the root.
        b = Trim(b);
        if (b != "\\")
            b = RemovePathDelim(b);
        while (StartsWith(p, "..\\")) {
            b = ParentFolder(b, baseIsUrl);
            p.erase(0, 3);
        }
        result = AddDelim(b, kBackslash) + p;
    } else if (HasDrive(b)) {
        result = b.substr(0, 1) + ":" + p;
    } else if (StartsWith(b, "\\\\")) {
        result = b.substr(0, b.find(kBackslash, 2)) + p;
    } else if (baseIsUrl) {
        result = b.substr(0, b.find(kBackslash, base.find("://") + 3)) + p;
    } else {
        return path;
    }
    if (baseIsUrl)
        result = Replaced(result, kBackslash, '/');
    return result;
}

} // namespace

std::string AppPath() {
    // Taken when the process started: after an update has replaced the program file, the link
    // /proc/self/exe names the old file's last place, which is gone.
    static const std::string path = corvane::ProgramFolder();
    return path;
}

std::string PluginsPath() {
    return AppPath() + "Plugins/";
}
std::string PicturesPath() {
    return AppPath() + "Pictures/";
}
std::string ConfigPath() {
    return AppPath() + "Config/";
}
std::string PngPackFile() {
    return ConfigPath() + "pngs.sys";
}
std::string SysConfigFile() {
    return ConfigPath() + "SysConfig.Xml";
}
std::string UserConfigFile() {
    return ConfigPath() + "UserConfig.Xml";
}
std::string IssueFile() {
    return AppPath() + "Plugins/Appstore/Issue.xml";
}

std::string LogPath() {
    std::string path = AppPath() + "Log/";
    EnsureDir(path);
    return path;
}

std::string DownloadPath() {
    std::string path = AppPath() + "Download/";
    EnsureDir(path);
    return path;
}

void EnsureDir(const std::string& dir) {
    if (dir.empty())
        return;
    std::error_code ignored; // a folder that cannot be created makes the later file operation fail
    std::filesystem::create_directories(ToNativePath(dir), ignored);
}

std::string AddPathDelim(const std::string& s, TPathStyle style) {
    return AddDelim(s, style == TPathStyle::Windows ? kBackslash : '/');
}

std::string RemovePathDelim(const std::string& s) {
    std::string result = Trim(s);
    if (!result.empty() && (result.back() == '/' || result.back() == kBackslash))
        result.pop_back();
    return result;
}

std::string ExpandPath(const std::string& base, const std::string& path, TPathStyle style) {
    if (style == TPathStyle::Windows)
        return Resolve(base, path, false);
    std::string result = Resolve(base, path, true);
    return IsUrl(result) ? result : ToNativePath(result);
}

std::string ExtractFilePath(const std::string& fileName) {
    const std::size_t delim = fileName.find_last_of("/\\");
    return delim == std::string::npos ? std::string() : fileName.substr(0, delim + 1);
}

bool FileExists(const std::string& fileName) {
    std::error_code error;
    const auto status = std::filesystem::status(ToNativePath(fileName), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool DirectoryExists(const std::string& dir) {
    std::error_code error;
    return std::filesystem::is_directory(ToNativePath(dir), error);
}

std::string ToNativePath(const std::string& path) {
    return Replaced(path, kBackslash, '/');
}

} // namespace qm
