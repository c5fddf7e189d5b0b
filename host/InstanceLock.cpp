#include "host/InstanceLock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "corvane/Errors.h"

namespace qm {

namespace {

// Instance names may be long or Chinese; the socket name must stay short and plain.
std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

TInstanceLock::TInstanceLock(const std::string& instanceName) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        // Without sockets we cannot tell; starting is better than refusing for nothing.
        acquired_ = true;
        return;
    }
    const std::string name =
        corvane::FormatText("quillmere.%u.%016llx", static_cast<unsigned>(getuid()),
                            static_cast<unsigned long long>(Fnv1a(instanceName)));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A leading zero byte puts the name in the abstract namespace: no file, gone with the process.
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        socket_ = fd;
        acquired_ = true;
    } else {
        close(fd);
    }
}

TInstanceLock::~TInstanceLock() {
    if (socket_ >= 0)
        close(socket_);
}

} // namespace qm
