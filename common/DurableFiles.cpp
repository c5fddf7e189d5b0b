#include "common/DurableFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qm {

namespace fs = std::filesystem;

namespace {

std::string Failure(const fs::path& path, const std::string& what, int error) {
    return path.string() + ": " + what + ": " + std::strerror(error);
}

// Lets the owner list, enter and change every folder under `path`, so that removal can reach
// everything. Failures show up in the removal that follows.
void OpenUpFolders(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    if ((info.st_mode & S_IRWXU) != S_IRWXU)
        ::chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path, error))
        OpenUpFolders(entry.path());
}

} // namespace

std::string WriteFileDurably(const fs::path& file, const std::string& bytes) {
    const fs::path temporary = file.string() + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failure(temporary, "cannot be created", errno);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t now = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (now < 0 && errno == EINTR)
            continue;
        if (now <= 0) {
            const int error = now < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temporary.c_str());
            return Failure(temporary, "cannot be written", error);
        }
        written += static_cast<std::size_t>(now);
    }
    const int synced = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 || synced != 0) {
        ::unlink(temporary.c_str());
        return Failure(temporary, "cannot be flushed", synced != 0 ? synced : errno);
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failure(file, "cannot be put in place", error);
    }
    return SyncPath(file.parent_path());
}

std::string SyncPath(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return Failure(path, "cannot be flushed", errno);
    if (S_ISLNK(info.st_mode))
        return ""; // a link's text is flushed with its folder
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (S_ISDIR(info.st_mode) ? O_DIRECTORY : 0));
    if (fd < 0)
        return Failure(path, "cannot be opened to flush", errno);
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error == 0 ? "" : Failure(path, "cannot be flushed", error);
}

std::string SyncTree(const fs::path& root) {
    std::error_code error;
    for (auto walk = fs::recursive_directory_iterator(root, error); !error && walk != fs::end(walk);
         walk.increment(error)) {
        if (std::string why = SyncPath(walk->path()); !why.empty())
            return why;
    }
    if (error)
        return root.string() + ": cannot be listed: " + error.message();
    return SyncPath(root);
}

std::string RemoveTree(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status))
        return "";
    OpenUpFolders(path);
    fs::remove_all(path, error);
    if (error)
        return path.string() + ": cannot be removed: " + error.message();
    return "";
}

} // namespace qm
