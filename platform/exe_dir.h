// Where the program's own files live: the directory of the running executable.
#pragma once
#include <string>

// The directory of the running executable, ending in '/'. Found through
// /proc/self/exe, so a symlink to the program still finds the real cg/ and
// my.dat; "./" when that link cannot be read.
std::string executableDir();
