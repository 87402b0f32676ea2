#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The abstract socket address for a lock file: same file, same name, whatever
// path (or symlink) each process was started through.
socklen_t socketAddress(const std::string& name, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    // sun_path[0] stays 0: the abstract namespace.
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// The peer of a connected socket runs as our own user.
bool sameUser(int fd) {
    ucred cred {};
    socklen_t len = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::geteuid();
}

// 0 when the request was delivered, else the errno of the failure.
int askToRaise(const std::string& name) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    sockaddr_un addr;
    const socklen_t len = socketAddress(name, addr);
    // Connecting is the whole request: the owner may accept and hang up at once.
    int err = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 ? 0 : errno;
    // Another user squatting on our name is not our pet's window.
    if (err == 0 && !sameUser(fd)) err = EACCES;
    ::close(fd);
    return err;
}

}  // namespace

SingleInstance::SingleInstance(const std::string& petDir, QObject* parent) : QObject(parent) {
    const std::string path = petDir + "my.dat.lock";
    lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) {
        std::fprintf(stderr, "piko: cannot create %s (%s); running without the one-pet lock\n", path.c_str(),
                     std::strerror(errno));
        return;
    }
    struct stat st {};
    ::fstat(lockFd_, &st);
    // The same for every process that opens this pet as this user.
    name_ = "jp.example.piko-" + std::to_string(static_cast<unsigned long long>(::geteuid())) + "-" +
            std::to_string(static_cast<unsigned long long>(st.st_dev)) + "-" +
            std::to_string(static_cast<unsigned long long>(st.st_ino));
    int rc;
    do rc = ::flock(lockFd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno != EWOULDBLOCK) {
            std::fprintf(stderr, "piko: cannot lock %s (%s); running without the one-pet lock\n", path.c_str(),
                         std::strerror(errno));
            ::close(lockFd_);
            lockFd_ = -1;
            return;
        }
        state_ = State::Busy;
        ::close(lockFd_);
        lockFd_ = -1;
        const int err = askToRaise(name_);
        raisedOther_ = err == 0;
        if (err)
            std::fprintf(stderr, "piko: cannot ask the running piko for its window (%s)\n", std::strerror(err));
        return;
    }
    state_ = State::Owner;
    listen(name_);
}

SingleInstance::~SingleInstance() {
    notifier_.reset();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the flock
}

void SingleInstance::listen(const std::string& name) {
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) return;
    sockaddr_un addr;
    const socklen_t len = socketAddress(name, addr);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(listenFd_, 4) != 0) {
        // Only the raise request is lost; the lock still protects my.dat.
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptRaise);
}

void SingleInstance::acceptRaise() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        const bool ours = sameUser(fd);
        ::close(fd);
        if (ours) emit raiseRequested();
    }
}
