#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

std::string withSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// The user's home: $HOME, or the password database when a service started us without it.
std::string homeDir(const char* home) {
    if (home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

}  // namespace

Folders foldersFor(FolderLayout layout, const std::string& exeDir, const std::string& dataFromExe,
                   const char* xdgDataHome, const char* home) {
    if (layout == FolderLayout::Beside) return {exeDir, exeDir + "cg/", exeDir};
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    const std::string data = xdgDataHome && xdgDataHome[0] == '/'
                                 ? std::string(xdgDataHome)
                                 : withSlash(homeDir(home)) + ".local/share";
    const std::string pet = withSlash(std::filesystem::path(data + "/piko").lexically_normal().string());
    const std::string share =
        withSlash(std::filesystem::path(exeDir + dataFromExe).lexically_normal().string());
    return {pet, share + "cg/", pet};
}

std::string describeFolders(const Folders& folders) {
    return "pet: " + folders.pet + "\npictures and sounds: " + folders.cg +
           "\nSOUNDMIX.INI: " + folders.profile + "SOUNDMIX.INI\n";
}

std::string makePetFolder(const std::string& dir) {
    std::string path;
    for (size_t at = 1; at <= dir.size(); ++at) {
        if (at < dir.size() && dir[at] != '/') continue;
        path = dir.substr(0, at);
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot create " + path + ": " + std::strerror(errno);
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return path + " is not a folder";
    return {};
}
