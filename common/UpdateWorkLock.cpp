#include "common/UpdateWorkLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace qm {

namespace {

const char* const kLockFile = "lock";
constexpr std::chrono::milliseconds kRetryEvery{50};

} // namespace

TUpdateWorkLock::TUpdateWorkLock(const std::filesystem::path& work, std::chrono::milliseconds wait) {
    const std::filesystem::path file = work / kLockFile;
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        why_ = file.string() + ": cannot be opened: " + std::strerror(errno);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            why_ = file.string() + ": cannot be locked: " + std::strerror(errno);
            ::close(fd);
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            heldElsewhere_ = true;
            why_ = "another running program is updating the installation";
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
    fd_ = fd;
}

TUpdateWorkLock::~TUpdateWorkLock() {
    if (fd_ >= 0)
        ::close(fd_); // closing the only descriptor lets the lock go
}

} // namespace qm
