#include "app/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/cp932.h"

std::string ioErrorMessage(int code) {
    switch (code) {
    case 2: return cp932("ﾌｧｲﾙが見つかりません");
    case 3: return cp932("不正なﾌｧｲﾙ名です");
    case 4: return cp932("ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます");
    case 5: return cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました");
    case 100: return cp932("ﾌｧｲﾙの末尾以降を読み込みました");
    case 101: return cp932("ﾃﾞｨｽｸがいっぱいです");
    case 106: return cp932("入力値が数値ではありません");
    default: return cp932("I/O ｴﾗｰ (") + std::to_string(code) + ")";
    }
}

EInOutError::EInOutError(int code) : code_(code), message_(ioErrorMessage(code)) {}

int ioCodeFromErrno(int err) {
    switch (err) {
    case ENOENT: return 2;
    case ENOTDIR:
    case EINVAL:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:  // a directory where the file should be: Windows calls that access denied too
    case ETXTBSY:
    case EBUSY: return 5;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return 101;
    default: return 1000 + err;
    }
}

namespace {

class Reader {
public:
    explicit Reader(std::string_view bytes) : in_(bytes.substr(0, bytes.find('\x1a'))) {}

    std::string readString() {
        const size_t start = pos_;
        while (pos_ < in_.size() && in_[pos_] != '\r') ++pos_;
        std::string value(in_.substr(start, pos_ - start));
        skipLineEnd();
        return value;
    }

    // False on an invalid number; `value` is assigned only on success.
    bool readInt(int32_t& value) {
        while (pos_ < in_.size() && uint8_t(in_[pos_]) <= 32) ++pos_;
        if (pos_ >= in_.size()) {
            value = 0;
            return true;
        }
        const size_t start = pos_;
        while (pos_ < in_.size() && pos_ - start < 32 && uint8_t(in_[pos_]) > 32) ++pos_;
        int32_t parsed = 0;
        if (!parseToken(in_.substr(start, pos_ - start), parsed)) return false;
        value = parsed;
        while (pos_ < in_.size() && in_[pos_] != '\r') ++pos_;
        skipLineEnd();
        return true;
    }

private:
    void skipLineEnd() {
        if (pos_ < in_.size() && in_[pos_] == '\r') ++pos_;
        if (pos_ < in_.size() && in_[pos_] == '\n') ++pos_;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    static bool parseToken(std::string_view t, int32_t& out) {
        if (!t.empty() && t[0] == '$') {
            if (t.size() < 2 || t.size() > 9) return false;
            uint32_t v = 0;
            for (char c : t.substr(1)) {
                const int d = hexDigit(c);
                if (d < 0) return false;
                v = v << 4 | uint32_t(d);
            }
            out = int32_t(v);
            return true;
        }
        bool negative = false;
        if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
            negative = t[0] == '-';
            t.remove_prefix(1);
        }
        if (t.empty()) return false;
        int64_t v = 0;
        for (char c : t) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
            if (v > 2147483648LL) return false;
        }
        // SavePet writes INT32_MIN, so reading must take it back.
        if (!negative && v > 2147483647LL) return false;
        out = int32_t(negative ? -v : v);
        return true;
    }

    std::string_view in_;
    size_t pos_ = 0;
};

int32_t PetState::*const kNumberLines[] = {
    &PetState::age,        &PetState::intellect, &PetState::morals,     &PetState::vigor,
    &PetState::fullness,   &PetState::condition, &PetState::ark_points, &PetState::word_count,
};

int errnoOr(int hooked) { return hooked ? hooked : errno; }

// Truncates and rewrites an existing file, synced; false when it cannot be
// opened for writing (the caller reports its own error then).
bool overwriteInPlace(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            throw EInOutError(ioCodeFromErrno(err));
        }
        done += size_t(n);
    }
    const int err = ::fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 || err) throw EInOutError(ioCodeFromErrno(err ? err : errno));
    return true;
}

// Writes `bytes` to `path` by way of a synced temporary file renamed over it.
void replaceFile(const std::string& path, const std::string& bytes, const SaveFaultHook& fault) {
    auto hook = [&](SaveStep s) { return fault ? fault(s) : 0; };
    const std::string tmp = path + ".tmp";
    ::unlink(tmp.c_str());  // a leftover of a crashed save, perhaps read-only
    int injected = hook(SaveStep::Create);
    const int fd = injected ? -1 : ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int err = errnoOr(injected);
        // A folder we may not write, holding a my.dat we may: only an overwrite
        // in place can save there, without the safety of the temporary file.
        if (!injected && (err == EACCES || err == EPERM) && overwriteInPlace(path, bytes)) return;
        throw EInOutError(ioCodeFromErrno(err));
    }
    // The new file takes the old one's permissions, as an overwrite would have kept them.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw EInOutError(ioCodeFromErrno(err));
    };
    size_t done = 0;
    while (done < bytes.size()) {
        if ((injected = hook(SaveStep::Write))) fail(injected);
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += size_t(n);
    }
    if ((injected = hook(SaveStep::Sync)) || ::fsync(fd) != 0) fail(errnoOr(injected));
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        throw EInOutError(ioCodeFromErrno(err));
    }
    if ((injected = hook(SaveStep::Rename)) || ::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errnoOr(injected);
        ::unlink(tmp.c_str());
        throw EInOutError(ioCodeFromErrno(err));
    }
    // The rename itself must survive a power cut too; failing here loses nothing.
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

// Errno for a my.dat that is there but no file: a directory, a pipe, a device.
int notAFileError(mode_t mode) { return S_ISDIR(mode) ? EISDIR : EACCES; }

bool readWholeFile(const std::string& path, std::string& out, int& err) {
    // Not blocking on open: a pipe named my.dat would otherwise hang start-up
    // until something writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return false;
    }
    // Only a regular file ends: /dev/zero would be read until memory runs out.
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        err = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        err = notAFileError(st.st_mode);
        ::close(fd);
        return false;
    }
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

}  // namespace

int parsePet(std::string_view bytes, PetState& pet) {
    Reader r(bytes);
    int result = 0;
    pet.pet_name = r.readString();
    for (auto field : kNumberLines) {
        if (!r.readInt(pet.*field)) {
            result = kIoInvalidNumber;
            break;
        }
    }
    if (result == 0)
        for (auto& w : pet.words) w = r.readString();
    // Every later rule indexes words with word_count: a damaged file must not take it outside the slots.
    if (pet.word_count < 0) pet.word_count = 0;
    if (pet.word_count > kWordSlots) pet.word_count = kWordSlots;
    return result;
}

std::string serializePet(const PetState& pet) {
    std::string out;
    auto line = [&](const std::string& s) {
        out += s;
        out += "\r\n";
    };
    line(pet.pet_name);
    for (auto field : kNumberLines) line(std::to_string(pet.*field));
    for (const auto& w : pet.words) line(w);
    return out;
}

void loadPetFile(const std::string& path, PetState& pet) {
    std::string bytes;
    int err = 0;
    if (!readWholeFile(path, bytes, err)) throw EInOutError(ioCodeFromErrno(err));
    if (const int code = parsePet(bytes, pet)) throw EInOutError(code);
}

void savePetFile(const std::string& givenPath, const PetState& pet, bool keepBackup, const SaveFaultHook& fault) {
    // A my.dat that is a symlink stays one: the file it points to is replaced.
    std::error_code ec;
    const auto real = std::filesystem::canonical(givenPath, ec);
    const std::string path = ec ? givenPath : real.string();
    auto hook = [&](SaveStep s) { return fault ? fault(s) : 0; };
    // Replacing by rename would happily go over a read-only my.dat; the user
    // made it read-only to keep it, so refuse as a plain overwrite would.
    if (const int injected = hook(SaveStep::CheckTarget)) throw EInOutError(ioCodeFromErrno(injected));
    // Checked with the identity that does the writing (the effective and file-system ids).
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        throw EInOutError(ioCodeFromErrno(errno));
    // Renaming over a device or a pipe would replace it with a file (as root,
    // even /dev/null); refuse as a write into a directory is refused.
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
        throw EInOutError(ioCodeFromErrno(notAFileError(target.st_mode)));
    if (keepBackup) {
        std::string old;
        int err = 0;
        if (const int injected = hook(SaveStep::Backup)) throw EInOutError(ioCodeFromErrno(injected));
        // A file that cannot be read at all (a write-only my.dat) cannot be
        // kept either; refusing would only make the pet unsaveable for good.
        if (readWholeFile(path, old, err)) replaceFile(path + ".bak", old, {});
    }
    replaceFile(path, serializePet(pet), fault);
}
