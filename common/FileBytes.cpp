#include "common/FileBytes.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qm {

namespace {

// Closes the descriptor however the read ends.
class TDescriptor {
public:
    explicit TDescriptor(int fd) : fd_(fd) {}
    ~TDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Get() const noexcept { return fd_; }

private:
    int fd_;
};

TFailure Failed(const char* step, int error) {
    return Failure(std::system_category().message(error), step, error);
}

} // namespace

TResult<std::string> ReadFileBytes(const std::string& path, struct stat* info) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Failed("open", errno);
    const TDescriptor file(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return Failed("read", errno);
    std::string bytes;
    if (S_ISREG(status.st_mode) && status.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return Failed("read", errno);
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    if (info != nullptr)
        *info = status;
    return bytes;
}

} // namespace qm
