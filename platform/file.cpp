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

// Truncates and rewrites an existing file, synced; -1 when it cannot be
// opened for writing (the caller reports its own error then).
int overwriteInPlace(const std::string& path, const std::string& bytes) {
    File f(::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
    if (!f) return -1;
    if (const int err = writeAll(f, bytes, path)) return err;
    const int err = ::fsync(f.fd()) != 0 ? errno : 0;
    const int closed = f.close();
    return err ? err : closed;
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

int replaceFileSynced(const std::string& path, const std::string& bytes) {
    const std::string tmp = path + ".tmp";
    ::unlink(tmp.c_str());  // a leftover of a crashed save, perhaps read-only
    const int createFault = injected(FileStep::Create, path);
    File f(createFault ? -1 : ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!f) {
        const int err = createFault ? createFault : errno;
        // A folder we may not write, holding a file we may: only an overwrite
        // in place can save there, without the safety of the temporary file.
        if (!createFault && (err == EACCES || err == EPERM)) {
            const int inPlace = overwriteInPlace(path, bytes);
            if (inPlace >= 0) return inPlace;
        }
        return err;
    }
    // The new file takes the old one's permissions, as an overwrite would have kept them.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::fchmod(f.fd(), old.st_mode & 07777);
    int err = writeAll(f, bytes, path);
    if (!err) err = injected(FileStep::Sync, path);
    if (!err && ::fsync(f.fd()) != 0) err = errno;
    if (const int closed = f.close(); !err) err = closed;
    if (!err) err = injected(FileStep::Rename, path);
    if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        return err;
    }
    // The rename itself must survive a power cut too; failing here loses nothing.
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const File folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.fd());
    return 0;
}
