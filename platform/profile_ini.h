// Integer lookup in a private profile file ("[section]" headers, "key=value" lines).
//
// A bare file name is looked up in the profile directory: by default the
// directory holding the running executable, or whatever the program set.
#pragma once
#include <cstddef>
#include <string>

// A profile holds a few lines; a file larger than this is taken for no profile
// at all (so is a pipe or a device), and its keys read as their defaults.
constexpr std::size_t kMaxProfileBytes = 1 << 20;

// Missing file, section or key, or an empty value, yields the default. A
// UTF-8 byte-order mark before the first line is skipped. Otherwise
// the value's leading decimal digits count (after blanks and an optional sign;
// "12abc" is 12, "abc" is 0), wrapping like a 32-bit unsigned number.
// Section and key names compare without regard to ASCII case.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& fileName);

void SetProfileDirectory(const std::string& directory);
// The directory bare file names are looked up in, without a trailing slash.
std::string ProfileDirectory();
