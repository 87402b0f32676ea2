// my.dat: the pet's save file, 265 CR LF lines of CP932 text.
#pragma once
#include <exception>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "app/pet_state.h"
#include "platform/file.h"

// An I/O failure with its code (2 not found, 3 bad name, 4 too many files,
// 5 access denied, 100 read past end, 101 disk full, 106 invalid number).
class EInOutError : public std::exception {
public:
    // `fileKept`: a failed save left the old file whole (only an in-place
    // rewrite that could not put it back does not).
    explicit EInOutError(int code, bool fileKept = true);
    int code() const noexcept { return code_; }
    bool fileKept() const noexcept { return fileKept_; }
    const char* what() const noexcept override { return message_.c_str(); }  // CP932
    const std::string& message() const noexcept { return message_; }

private:
    int code_;
    bool fileKept_;
    std::string message_;
};

// The CP932 message for an I/O error code; "I/O ｴﾗｰ (n)" for codes without a text.
std::string ioErrorMessage(int code);
// The I/O error code for an errno value. Unlisted errno values become 1000 + errno.
int ioCodeFromErrno(int err);

constexpr int kIoNotFound = 2;
constexpr int kIoInvalidNumber = 106;
// A my.dat too large to be a pet (Windows' code for a file too large).
constexpr int kIoFileTooLarge = 223;
// A full pet is under 20 KiB; anything past this is not read into memory.
constexpr std::size_t kMaxPetFileBytes = std::size_t(1) << 20;

// Reads my.dat's bytes into `pet` by the file's reading rules, assigning each
// value as soon as it is read. Returns 0, or 106 when a number line is not a
// number (the values after it keep what they had). word_count always ends
// within 0..kWordSlots.
int parsePet(std::string_view bytes, PetState& pet);

// The 265 lines of my.dat for `pet`, each ended by CR LF.
std::string serializePet(const PetState& pet);

// Reads the file at `path` into `pet`; throws EInOutError (kIoFileTooLarge
// past kMaxPetFileBytes, before reading). True when the file was read whole:
// it is byte for byte what saving the pet read from it would write. Anything
// else (LF line ends, a 0x1A, lines missing or too many, a number written
// otherwise) would lose something at the next save.
bool loadPetFile(const std::string& path, PetState& pet);

// Writes `bytes` to `path` without ever leaving a half-written my.dat: the new
// content goes to path + ".tmp", is synced and then renamed over `path`. A
// my.dat that is not writable still fails with code 5. In a folder that
// refuses the temporary file, a writable my.dat is rewritten in place. With
// `keepBackup`, an existing file is first kept as path + ".bak", synced, and
// stderr says so (one that cannot be opened for reading is not kept). Throws
// EInOutError; the old file is whole after any failure unless the error says
// otherwise.
void savePetBytes(const std::string& path, const std::string& bytes, bool keepBackup);
void savePetFile(const std::string& path, const PetState& pet, bool keepBackup);

// my.dat while the program runs: loaded once, then written by one background
// writer, for checkpoints and for the close alike, never two writes at once.
class PetFile {
public:
    explicit PetFile(std::string path) : path_(std::move(path)) {}

    // loadPetFile, remembering what the file holds and whether it must be kept
    // aside before the first save replaces it (not read whole, or failed
    // part-way; a file not found has nothing to keep).
    void load(PetState& pet);
    // Writes `bytes` in the background unless the file holds them (or is about
    // to). Silent: a failure goes to stderr once per code, and the next
    // checkpoint tries again. Never waits on the disk.
    void checkpoint(std::string bytes);
    // The close: waits for a write in progress, then writes `bytes` whatever
    // the file holds. Throws EInOutError.
    void save(const std::string& bytes);
    // Until no checkpoint waits or is being written.
    void wait() { writer_.wait(); }
    bool backupPending() const;

private:
    void write(const std::string& bytes);

    const std::string path_;
    mutable std::mutex mutex_;             // the writer's thread and the window's
    std::optional<std::string> onDisk_;    // what my.dat holds, when known
    std::optional<std::string> target_;    // what it holds once the posted write lands
    bool backupPending_ = false;
    std::set<int> reported_;               // codes of checkpoint failures said on stderr
    BackgroundWriter writer_;              // last: its thread goes first
};
