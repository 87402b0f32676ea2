#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>

namespace {

// Tests only; the program never installs any.
FileFaults* gFaults = nullptr;

int injected(FileStep step, const std::string& path) { return gFaults ? gFaults->fail(step, path) : 0; }

// Errno for a file that is there but no file: a directory, a pipe, a device.
int notAFileError(mode_t mode) { return S_ISDIR(mode) ? EISDIR : EACCES; }

int writeAll(const File& f, const std::string& bytes, const std::string& target) {
    size_t done = 0;
    while (done < bytes.size()) {
        if (const int err = injected(FileStep::Write, target)) return err;
        const ssize_t n = ::write(f.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += size_t(n);
    }
    return 0;
}

// Writes `bytes` at the start of the file, without the fault seam (a
// restore must not be failed by the fault that made it necessary).
int writeAllRaw(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += size_t(n);
    }
    return 0;
}

// The largest old file an in-place rewrite keeps in memory to put back; a
// larger one is rewritten without that safety.
constexpr size_t kInPlaceRestoreMax = size_t(16) << 20;

// Rewrites an existing file in place, synced: room for the new size first,
// so that a full disk fails before a byte changes, and the old bytes written
// back when a later step fails. -1 when it cannot be opened for writing (the
// caller reports its own error then).
int overwriteInPlace(const std::string& path, const std::string& bytes, bool& oldKept) {
    File f(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!f) return -1;
    std::string old;
    const bool haveOld = readWholeFile(path, old, kInPlaceRestoreMax) == 0;
    struct stat st {};
    if (::fstat(f.fd(), &st) != 0) return errno;
    const off_t oldSize = haveOld ? off_t(old.size()) : st.st_size;
    int err = injected(FileStep::Reserve, path);
    if (!err && off_t(bytes.size()) > oldSize) err = ::posix_fallocate(f.fd(), 0, off_t(bytes.size()));
    const bool touched = !err;
    if (!err) err = writeAll(f, bytes, path);
    if (!err && ::ftruncate(f.fd(), off_t(bytes.size())) != 0) err = errno;
    if (!err) err = injected(FileStep::Sync, path);
    if (!err && ::fsync(f.fd()) != 0) err = errno;
    if (err) {
        // Nothing written yet: only what the reservation added goes. Otherwise
        // the old bytes go back, if we have them.
        oldKept = (!touched || haveOld) && (!touched || writeAllRaw(f.fd(), old) == 0) &&
                  ::ftruncate(f.fd(), oldSize) == 0 && ::fsync(f.fd()) == 0;
        return err;
    }
    return f.close();
}

// The rename or link of a file in `path`'s folder must survive a power cut
// too; failing here loses nothing.
void syncFolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const File folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.fd());
}

// The last step of every replace: the finished temporary file `tmp` renamed
// over `path` and the folder synced, unless an earlier step failed with
// `err`; a failure removes the temporary file. 0 or the errno.
int putInPlace(const std::string& tmp, const std::string& path, int err) {
    if (!err) err = injected(FileStep::Rename, path);
    if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        return err;
    }
    syncFolderOf(path);
    return 0;
}

// The new file takes the old one's owner and permissions, as an overwrite
// would have kept them: root saving a user's pet must leave it the user's.
void takeOwnerAndMode(int fd, const struct stat& old) {
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only root may give a file away; a user's file stays the user's anyway.
    }
    ::fchmod(fd, old.st_mode & 07777);
}

// Copies `from` into the new file `to`, chunk by chunk, synced.
int copyInto(const std::string& from, const File& to) {
    const File in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in) return errno;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in.fd(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to.fd(), buf + done, size_t(n - done));
            if (w < 0 && errno != EINTR) return errno;
            done += w < 0 ? 0 : w;
        }
    }
    return ::fsync(to.fd()) != 0 ? errno : 0;
}

}  // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

File::~File() { close(); }

int File::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int File::close() {
    if (fd_ < 0) return 0;
    const int fd = release();
    return ::close(fd) != 0 ? errno : 0;
}

FileFaults::Use::Use(FileFaults& faults) { gFaults = &faults; }
FileFaults::Use::~Use() { gFaults = nullptr; }

std::string resolvedPath(const std::string& path) {
    std::error_code ec;
    const auto real = std::filesystem::canonical(path, ec);
    return ec ? path : real.string();
}

int openRegularFile(const std::string& path, File& out, uint64_t maxBytes, uint64_t* size) {
    // Not blocking on open: a pipe of that name would otherwise hang until
    // something writes to it.
    File f(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!f) return errno;
    // Only a regular file ends: /dev/zero would be read until memory runs out.
    struct stat st {};
    if (::fstat(f.fd(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return notAFileError(st.st_mode);
    if (uint64_t(st.st_size) > maxBytes) return EFBIG;
    if (size) *size = uint64_t(st.st_size);
    out = std::move(f);
    return 0;
}

int readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    File f;
    uint64_t size = 0;
    if (const int err = openRegularFile(path, f, maxBytes, &size)) return err;
    out.clear();
    out.reserve(size_t(size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(f.fd(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        // A file still being written may outgrow what fstat said.
        if (out.size() + size_t(n) > maxBytes) return EFBIG;
        out.append(buf, size_t(n));
    }
    return 0;
}

int fileStamp(const std::string& path, FileStamp& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    out = {uint64_t(st.st_dev), uint64_t(st.st_ino), uint64_t(st.st_size), int64_t(st.st_mtim.tv_sec),
           int64_t(st.st_mtim.tv_nsec)};
    return 0;
}

int checkReplaceable(const std::string& path) {
    if (const int err = injected(FileStep::CheckTarget, path)) return err;
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) return errno;
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) return notAFileError(target.st_mode);
    return 0;
}

namespace {

int replaceOrOverwrite(const std::string& path, const std::string& bytes, bool& oldKept) {
    const std::string tmp = path + ".tmp";
    ::unlink(tmp.c_str());  // a leftover of a crashed save, perhaps read-only
    const int createFault = injected(FileStep::Create, path);
    File f(createFault ? -1 : ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!f) {
        const int err = createFault ? createFault : errno;
        // A folder we may not write, holding a file we may: only an overwrite
        // in place can save there, without the safety of the temporary file.
        if (!createFault && (err == EACCES || err == EPERM)) {
            const int inPlace = overwriteInPlace(path, bytes, oldKept);
            if (inPlace >= 0) return inPlace;
        }
        return err;
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) takeOwnerAndMode(f.fd(), old);
    int err = writeAll(f, bytes, path);
    if (!err) err = injected(FileStep::Sync, path);
    if (!err && ::fsync(f.fd()) != 0) err = errno;
    if (const int closed = f.close(); !err) err = closed;
    return putInPlace(tmp, path, err);
}

}  // namespace

int replaceFileSynced(const std::string& path, const std::string& bytes, bool* oldKept) {
    bool kept = true;
    const int err = replaceOrOverwrite(path, bytes, kept);
    if (oldKept) *oldKept = kept;
    return err;
}

int keepCopySynced(const std::string& from, const std::string& to) {
    const std::string tmp = to + ".tmp";
    ::unlink(tmp.c_str());
    if (const int err = injected(FileStep::Create, to)) return err;
    int err = 0;
    if (::link(from.c_str(), tmp.c_str()) == 0) {
        // The old file's bytes themselves may still be only in the cache.
        const File f(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!f || ::fsync(f.fd()) != 0) err = errno;
    } else {
        // A file system without hard links (FAT), or links refused: copy it.
        File f(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!f) return errno;
        struct stat old {};
        if (::stat(from.c_str(), &old) == 0) takeOwnerAndMode(f.fd(), old);
        err = copyInto(from, f);
        if (const int closed = f.close(); !err) err = closed;
    }
    return putInPlace(tmp, to, err);
}

BackgroundWriter::BackgroundWriter() : thread_([this] { loop(); }) {}

BackgroundWriter::~BackgroundWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundWriter::post(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(job);
    }
    changed_.notify_all();
}

void BackgroundWriter::runNow(const std::function<void()>& job) {
    std::unique_lock lock(mutex_);
    waiting_.reset();
    changed_.wait(lock, [this] { return !busy_; });
    busy_ = true;
    lock.unlock();
    struct Done {
        BackgroundWriter& w;
        ~Done() {
            {
                const std::lock_guard lock(w.mutex_);
                w.busy_ = false;
            }
            w.changed_.notify_all();
        }
    } done{*this};
    job();
}

void BackgroundWriter::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_ && !busy_; });
}

void BackgroundWriter::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return (waiting_ && !busy_) || (stopping_ && !waiting_); });
        if (!waiting_) return;
        const std::function<void()> job = std::move(*waiting_);
        waiting_.reset();
        busy_ = true;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}
