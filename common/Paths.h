#pragma once

#include <string>

// Installation paths. Everything is anchored on the folder of the running host executable, also
// inside plug-in libraries. Native separators are "/"; folder names end with "/".
namespace qm {

// How ExpandPath and the delimiter helpers treat separators: Windows form works on "\" exactly as
// installation data written for Windows expects; Native is the form the rest of the program uses.
enum class TPathStyle { Windows, Native };

std::string AppPath();
std::string PluginsPath();
std::string PicturesPath();
std::string ConfigPath();
std::string PngPackFile();
std::string SysConfigFile();
std::string UserConfigFile();
std::string IssueFile();
// These two create the folder (with parents) before returning its name.
std::string LogPath();
std::string DownloadPath();

// Creates the folder and any missing parents; a folder that cannot be created is ignored.
void EnsureDir(const std::string& dir);

// Trims blanks and control characters; appends the delimiter unless empty or already there.
std::string AddPathDelim(const std::string& s, TPathStyle style = TPathStyle::Native);
// Trims; drops one trailing "/" or "\".
std::string RemovePathDelim(const std::string& s);

// Resolves path against base (a folder or a URL). See Paths.cpp for the rules.
std::string ExpandPath(const std::string& base, const std::string& path, TPathStyle style = TPathStyle::Native);

// The folder part of a file name, with its trailing delimiter ("" when there is none).
std::string ExtractFilePath(const std::string& fileName);
bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& dir);
// "\" in data becomes "/" where a path reaches the file system.
std::string ToNativePath(const std::string& path);

} // namespace qm
