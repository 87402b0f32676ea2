// Which folders the program keeps its pet and reads its pictures from.
//
// Two layouts, chosen when the program is built, never guessed at run time
// (root can write anywhere, and must not put a pet into /usr):
//  - beside: a build folder or a `make install` folder, everything next to
//    the executable;
//  - system: the packaged /usr/games/piko, each user's pet in
//    $XDG_DATA_HOME/piko/ and the read-only pictures and sounds in the
//    package's data folder, found relative to the executable.
#pragma once
#include <string>

enum class FolderLayout { Beside, System };

struct Folders {
    std::string pet;      // my.dat, my.dat.bak, my.dat.tmp, my.dat.lock; ends in '/'
    std::string cg;       // the pictures and sounds; ends in '/'
    std::string profile;  // the folder SOUNDMIX.INI is read from; ends in '/'
};

// The folders for a layout. `exeDir` is the executable's folder (ending in
// '/'); `dataFromExe` the package's data folder relative to it (System only);
// `xdgDataHome` and `home` the environment's values (null when unset).
Folders foldersFor(FolderLayout layout, const std::string& exeDir, const std::string& dataFromExe,
                   const char* xdgDataHome, const char* home);

// The three lines of `piko --where`.
std::string describeFolders(const Folders& folders);

// Makes the pet folder and any missing parent with mode 0700, as the XDG
// base directory rules ask. Empty on success, else why it failed.
std::string makePetFolder(const std::string& dir);
