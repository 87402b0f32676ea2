#include "app/save_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <tuple>
#include <unistd.h>

#include "platform/cp932.h"
#include "platform/file.h"

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

EInOutError::EInOutError(int code, bool fileKept) : code_(code), fileKept_(fileKept), message_(ioErrorMessage(code)) {}

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

bool loadPetFile(const std::string& path, PetState& pet) {
    std::string bytes;
    if (const int err = readWholeFile(path, bytes, kMaxPetFileBytes))
        throw EInOutError(err == EFBIG ? kIoFileTooLarge : ioCodeFromErrno(err));
    if (const int code = parsePet(bytes, pet)) throw EInOutError(code);
    return serializePet(pet) == bytes;
}

void savePetBytes(const std::string& givenPath, const std::string& bytes, bool keepBackup) {
    // A my.dat that is a symlink stays one: the file it points to is replaced.
    const std::string path = resolvedPath(givenPath);
    // Replacing by rename would happily go over a read-only my.dat; the user
    // made it read-only to keep it, so refuse as a plain overwrite would.
    if (const int err = checkReplaceable(path)) throw EInOutError(ioCodeFromErrno(err));
    // A file that cannot be opened for reading (a write-only my.dat) was not
    // read at all; refusing would only make the pet unsaveable for good.
    if (keepBackup && File(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))) {
        if (const int err = keepCopySynced(path, path + ".bak")) throw EInOutError(ioCodeFromErrno(err));
        std::fprintf(stderr, "piko: %s could not be read whole; it is kept as %s.bak\n", path.c_str(), path.c_str());
    }
    bool kept = true;
    if (const int err = replaceFileSynced(path, bytes, &kept)) throw EInOutError(ioCodeFromErrno(err), kept);
}

void savePetFile(const std::string& path, const PetState& pet, bool keepBackup) {
    savePetBytes(path, serializePet(pet), keepBackup);
}

void PetFile::load(PetState& pet) {
    try {
        const bool whole = loadPetFile(path_, pet);
        const std::lock_guard lock(mutex_);
        backupPending_ = !whole;
        if (whole) onDisk_ = target_ = serializePet(pet);
    } catch (const EInOutError& e) {
        const std::lock_guard lock(mutex_);
        backupPending_ = e.code() != kIoNotFound;
        throw;
    }
}

bool PetFile::backupPending() const {
    const std::lock_guard lock(mutex_);
    return backupPending_;
}

void PetFile::write(const std::string& bytes) {
    bool backup = false;
    {
        const std::lock_guard lock(mutex_);
        backup = backupPending_;
    }
    try {
        savePetBytes(path_, bytes, backup);
    } catch (const EInOutError& e) {
        const std::lock_guard lock(mutex_);
        if (!e.fileKept()) onDisk_.reset();  // an in-place rewrite left it neither old nor new
        throw;
    }
    const std::lock_guard lock(mutex_);
    backupPending_ = false;
    onDisk_ = bytes;
}

void PetFile::checkpoint(std::string bytes) {
    {
        const std::lock_guard lock(mutex_);
        if (target_ == bytes) return;
        target_ = bytes;
    }
    writer_.post([this, bytes = std::move(bytes)] {
        int code = 0;
        std::string message;
        try {
            write(bytes);
            return;
        } catch (const EInOutError& e) {
            std::tie(code, message) = std::tuple(e.code(), fromCp932(e.message()));
        } catch (const std::exception& e) {
            std::tie(code, message) = std::tuple(-1, std::string(e.what()));
        }
        const std::lock_guard lock(mutex_);
        // The next checkpoint tries again, unless a newer one is already on its way.
        if (target_ == bytes) target_ = onDisk_;
        if (reported_.insert(code).second)
            std::fprintf(stderr, "piko: my.dat could not be saved while running (%s); trying again later\n",
                         message.c_str());
    });
}

void PetFile::save(const std::string& bytes) {
    // A checkpoint still waiting is dropped by the close's own write: from here
    // on, what the file holds is what this write leaves.
    const auto settle = [this] {
        const std::lock_guard lock(mutex_);
        target_ = onDisk_;
    };
    try {
        writer_.runNow([&] { write(bytes); });
    } catch (...) {
        settle();
        throw;
    }
    settle();
}
