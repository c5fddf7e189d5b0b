#include "host/InstanceLock.h"

#include "corvane/Errors.h"

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

sockaddr_un AbstractAddress(const std::string& name, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A leading zero byte puts the name in the abstract namespace: no file, gone with the process.
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return address;
}

} // namespace

TInstanceLock::TInstanceLock(const std::string& instanceName) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        // Without sockets we cannot tell; starting is better than refusing for nothing.
        acquired_ = true;
        return;
    }
    name_ = corvane::FormatText("quillmere.%u.%016llx", static_cast<unsigned>(getuid()),
                                static_cast<unsigned long long>(Fnv1a(instanceName)));
    socklen_t length = 0;
    const sockaddr_un address = AbstractAddress(name_, length);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        socket_ = fd;
        acquired_ = true;
        // Knocks of refused starts wait here until the desk's event loop takes them.
        listen(fd, 8);
    } else {
        close(fd);
    }
}

TInstanceLock::~TInstanceLock() {
    knocks_.reset();
    if (socket_ >= 0)
        close(socket_);
}

void TInstanceLock::WatchKnocks(std::function<void()> onKnock) {
    if (socket_ < 0)
        return;
    onKnock_ = std::move(onKnock);
    fcntl(socket_, F_SETFL, fcntl(socket_, F_GETFL) | O_NONBLOCK);
    knocks_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
    QObject::connect(knocks_.get(), &QSocketNotifier::activated, [this] { AcceptKnocks(); });
}

void TInstanceLock::AcceptKnocks() {
    bool knocked = false;
    for (int peer = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC); peer >= 0;
         peer = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC)) {
        close(peer);
        knocked = true;
    }
    if (knocked && onKnock_)
        onKnock_();
}

void TInstanceLock::KnockOnHolder() const {
    if (name_.empty())
        return;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    socklen_t length = 0;
    const sockaddr_un address = AbstractAddress(name_, length);
    // The holder's backlog takes the connection without its help; a full one just loses the knock.
    connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
    close(fd);
}

} // namespace qm
