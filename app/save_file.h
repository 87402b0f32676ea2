// my.dat: the pet's save file, 265 CR LF lines of CP932 text.
#pragma once
#include <exception>
#include <string>
#include <string_view>

#include "app/pet_state.h"

// An I/O failure with its code (2 not found, 3 bad name, 4 too many files,
// 5 access denied, 100 read past end, 101 disk full, 106 invalid number).
class EInOutError : public std::exception {
public:
    explicit EInOutError(int code);
    int code() const noexcept { return code_; }
    const char* what() const noexcept override { return message_.c_str(); }  // CP932
    const std::string& message() const noexcept { return message_; }

private:
    int code_;
    std::string message_;
};

// The CP932 message for an I/O error code; "I/O ｴﾗｰ (n)" for codes without a text.
std::string ioErrorMessage(int code);
// The I/O error code for an errno value. Unlisted errno values become 1000 + errno.
int ioCodeFromErrno(int err);

constexpr int kIoNotFound = 2;
constexpr int kIoInvalidNumber = 106;

// Reads my.dat's bytes into `pet` by the file's reading rules, assigning each
// value as soon as it is read. Returns 0, or 106 when a number line is not a
// number (the values after it keep what they had). word_count always ends
// within 0..kWordSlots.
int parsePet(std::string_view bytes, PetState& pet);

// The 265 lines of my.dat for `pet`, each ended by CR LF.
std::string serializePet(const PetState& pet);

// Reads the file at `path` into `pet`; throws EInOutError.
void loadPetFile(const std::string& path, PetState& pet);

// Writes `pet` to `path` without ever leaving a half-written my.dat: the new
// content goes to path + ".tmp", is synced and then renamed over `path`. A
// my.dat that is not writable still fails with code 5. In a folder that
// refuses the temporary file, a writable my.dat is rewritten in place. With
// `keepBackup`, an existing file is first copied to path + ".bak" (one that
// cannot be read is not copied). Throws EInOutError; on any failure before
// an in-place rewrite, the old file is whole.
void savePetFile(const std::string& path, const PetState& pet, bool keepBackup);
