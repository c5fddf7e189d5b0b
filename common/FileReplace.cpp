#include "common/FileReplace.h"

#include "corvane/Errors.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qm {

namespace {

// A new, hidden file next to the target; removed again unless it has been renamed over the target.
class TTempFile {
public:
    explicit TTempFile(const std::string& target) {
        static std::atomic<unsigned> counter{0};
        std::random_device random;
        const std::string folder = FolderOf(target);
        const std::string base = target.substr(target.find_last_of('/') + 1);
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            name_ = folder + "/." + base + corvane::FormatText(".%x%x.tmp", random(), counter.fetch_add(1));
            fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST && errno != EINTR)
                break;
        }
        if (fd_ < 0) {
            error_ = errno;
            name_.clear();
        }
    }
    ~TTempFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!name_.empty())
            ::unlink(name_.c_str());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    // 0 once the file is open, else why it could not be created.
    int CreateError() const noexcept { return error_; }
    int Fd() const noexcept { return fd_; }

    // Writes, flushes to disk and closes; 0 or the error.
    int WriteAndClose(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return written < 0 ? errno : EIO;
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        if (::fsync(fd_) != 0)
            return errno;
        const int closed = ::close(std::exchange(fd_, -1));
        return closed == 0 || errno == EINTR ? 0 : errno;
    }

    // 0 or the error.
    int RenameTo(const std::string& target) {
        if (::rename(name_.c_str(), target.c_str()) != 0)
            return errno;
        name_.clear();
        return 0;
    }

private:
    std::string name_;
    int fd_ = -1;
    int error_ = 0;
};

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // the rename reaches the disk; a failure here changes nothing that was written
        ::close(fd);
    }
}

} // namespace

std::string ResolvedTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<TReplaceFailure> ReplaceFileContent(const std::string& target, std::string_view bytes) {
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    TTempFile temp(target);
    if (temp.CreateError() != 0)
        return TReplaceFailure{true, temp.CreateError()};
    if (exists) {
        // Only the superuser may give a file away; otherwise it belongs to the writer. The mode goes
        // last because a change of owner clears the set-id bits.
        [[maybe_unused]] const int ownerError = ::fchown(temp.Fd(), old.st_uid, old.st_gid);
        [[maybe_unused]] const int modeError = ::fchmod(temp.Fd(), old.st_mode & 07777);
    }
    if (const int error = temp.WriteAndClose(bytes))
        return TReplaceFailure{false, error};
    if (const int error = temp.RenameTo(target))
        return TReplaceFailure{false, error};
    SyncFolder(FolderOf(target));
    return std::nullopt;
}

} // namespace qm
