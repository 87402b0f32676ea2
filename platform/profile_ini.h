// Integer lookup in a private profile file ("[section]" headers, "key=value" lines).
//
// A bare file name is looked up in the profile directory: by default the
// directory holding the running executable, or whatever the program set.
#pragma once
#include <string>

// Missing file, section or key, or an empty value, yields the default. Otherwise
// the value's leading decimal digits count (after blanks and an optional sign;
// "12abc" is 12, "abc" is 0), wrapping like a 32-bit unsigned number.
// Section and key names compare without regard to ASCII case.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& fileName);

void SetProfileDirectory(const std::string& directory);
// The directory bare file names are looked up in, without a trailing slash.
std::string ProfileDirectory();
