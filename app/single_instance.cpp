#include "app/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The owner's answer: the window was asked for.
constexpr char kRaised = 'r';

constexpr const char* kBusPath = "/jp/example/piko";
constexpr const char* kBusInterface = "org.freedesktop.Application";

// The session bus when the desktop gave us one; never one started just for us.
bool sessionBusOffered() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address && *address;
}

// "jp.example.piko-<device>-<inode>" as a bus name: jp.example.piko.p<device>_<inode>.
QString busName(const std::string& name) {
    std::string tail = name.substr(name.find('-') + 1);
    for (char& c : tail)
        if (c == '-') c = '_';
    return QString::fromStdString("jp.example.piko.p" + tail);
}

// 0 when the owner took the request on the bus, else an errno.
int askOnBus(const std::string& name, std::chrono::milliseconds budget) {
    if (!sessionBusOffered()) return ENOENT;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return ENOTCONN;
    QDBusMessage call = QDBusMessage::createMethodCall(busName(name), kBusPath, kBusInterface, "Activate");
    QVariantMap platformData;
    if (const char* id = std::getenv("DESKTOP_STARTUP_ID")) platformData["desktop-startup-id"] = QString(id);
    if (const char* token = std::getenv("XDG_ACTIVATION_TOKEN")) platformData["activation-token"] = QString(token);
    call << platformData;
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(budget.count()));
    return reply.type() == QDBusMessage::ReplyMessage ? 0 : ETIMEDOUT;
}

// A folder only this user can enter, held open as it was checked: 0700 (or
// tighter) and ours. -1 when `path` is none.
int openPrivateFolder(const std::string& path) {
    if (path.empty()) return -1;
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0) return fd;
    ::close(fd);
    return -1;
}

// The desktop's folder for this user's sockets, else the pet folder when it is private.
int rendezvousFolder(const std::string& petDir, std::string& path) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    for (const std::string& candidate : {std::string(runtime ? runtime : ""), petDir}) {
        const int fd = openPrivateFolder(candidate);
        if (fd < 0) continue;
        path = candidate;
        if (path.empty() || path.back() != '/') path += '/';
        return fd;
    }
    return -1;
}

// Reached through the open folder, so a long folder path still fits the address.
socklen_t socketAddress(int folderFd, const std::string& name, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "/proc/self/fd/%d/%s", folderFd, name.c_str());
    return socklen_t(offsetof(sockaddr_un, sun_path) + std::strlen(addr.sun_path) + 1);
}

// The peer of a connected socket runs as our own user.
bool sameUser(int fd) {
    ucred cred {};
    socklen_t len = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::geteuid();
}

// Waits for `events` on fd until the deadline: true when they came.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, int(left));
        if (rc > 0) return true;
        if (rc < 0 && errno != EINTR) return false;
    }
}

// 0 when the owner answered that it shows its window, else the errno of the failure.
int askOnSocket(int folderFd, const std::string& name, Clock::time_point deadline) {
    if (folderFd < 0) return ENOENT;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return errno;
    sockaddr_un addr;
    const socklen_t len = socketAddress(folderFd, name, addr);
    int err = 0;
    // A full backlog (an owner that does not accept) answers EAGAIN at once: try again until the deadline.
    while (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
        err = errno;
        if (err != EAGAIN || Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        err = 0;
    }
    if (err == 0 && !sameUser(fd)) err = EACCES;
    char answer = 0;
    if (err == 0) {
        if (!waitFor(fd, POLLIN, deadline)) err = ETIMEDOUT;
        else if (::recv(fd, &answer, 1, MSG_DONTWAIT) != 1 || answer != kRaised) err = ECONNRESET;
    }
    ::close(fd);
    return err;
}

}  // namespace

SingleInstance::SingleInstance(const std::string& petDir, QObject* parent) : QObject(parent) {
    const std::string path = petDir + "my.dat.lock";
    // Never blocking on open: a pipe planted under that name answers at once and is refused below.
    const int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
    // Another user's lock in a shared folder: a flock needs no write access.
    if (lockFd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) lockFd_ = ::open(path.c_str(), O_RDONLY | flags);
    struct stat st {};
    if (lockFd_ >= 0 && (::fstat(lockFd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(lockFd_);
        lockFd_ = -1;
        errno = EACCES;
    }
    if (lockFd_ < 0) {
        std::fprintf(stderr, "piko: cannot open %s (%s); running without the one-pet lock\n", path.c_str(),
                     std::strerror(errno));
        return;
    }
    // The same for every process that opens this pet, whatever path (or symlink) it was started through.
    name_ = "jp.example.piko-" + std::to_string(static_cast<unsigned long long>(st.st_dev)) + "-" +
            std::to_string(static_cast<unsigned long long>(st.st_ino));
    int rc;
    do rc = ::flock(lockFd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    const int lockError = errno;
    std::string folder;
    folderFd_ = rendezvousFolder(petDir, folder);
    if (folderFd_ >= 0) socketPath_ = folder + name_;
    if (rc != 0) {
        ::close(lockFd_);
        lockFd_ = -1;
        if (lockError != EWOULDBLOCK) {
            std::fprintf(stderr, "piko: cannot lock %s (%s); running without the one-pet lock\n", path.c_str(),
                         std::strerror(lockError));
            return;
        }
        state_ = State::Busy;
        // Two thirds of the time for the bus; the socket has what is left.
        const auto budget = std::chrono::milliseconds(kAskTimeoutMs);
        const auto deadline = Clock::now() + budget;
        int err = askOnBus(name_, budget * 2 / 3);
        if (err) err = askOnSocket(folderFd_, name_, deadline);
        raisedOther_ = err == 0;
        if (err)
            std::fprintf(stderr, "piko: cannot ask the running piko for its window (%s)\n", std::strerror(err));
        return;
    }
    state_ = State::Owner;
    takeBusName();
    listen();
}

void SingleInstance::takeBusName() {
    if (!sessionBusOffered()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Only a convenience beside the socket: a bus that refuses leaves that.
    if (bus.isConnected() && bus.registerObject(kBusPath, this, QDBusConnection::ExportScriptableSlots))
        bus.registerService(busName(name_));
}

void SingleInstance::Activate(const QVariantMap&) { emit raiseRequested(); }

SingleInstance::~SingleInstance() {
    notifier_.reset();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        // Before the lock goes: the next owner binds its own.
        ::unlinkat(folderFd_, name_.c_str(), 0);
    }
    if (folderFd_ >= 0) ::close(folderFd_);
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the flock
}

void SingleInstance::listen() {
    if (folderFd_ < 0) {
        std::fprintf(stderr, "piko: no private folder for the window request (set XDG_RUNTIME_DIR); a second "
                             "piko will only say this one is open\n");
        return;
    }
    // A socket left by an owner that crashed: we hold the lock, so it is nobody's.
    ::unlinkat(folderFd_, name_.c_str(), 0);
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) return;
    sockaddr_un addr;
    const socklen_t len = socketAddress(folderFd_, name_, addr);
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
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        const bool ours = sameUser(fd);
        // Never waits: an asker that went away just misses the answer.
        if (ours) (void)::send(fd, &kRaised, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        ::close(fd);
        if (ours) emit raiseRequested();
    }
}
