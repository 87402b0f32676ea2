#include "platform/profile_ini.h"

#include <cctype>
#include <cstdint>
#include <mutex>

#include "platform/exe_dir.h"
#include "platform/file.h"

namespace {

std::mutex gLock;
std::string gDirectory;
bool gDirectorySet = false;

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int parseLeadingInt(const std::string& v) {
    size_t i = 0;
    while (i < v.size() && std::isspace(static_cast<unsigned char>(v[i]))) ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
    uint32_t n = 0;
    for (; i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])); ++i)
        n = n * 10u + static_cast<uint32_t>(v[i] - '0');
    if (negative) n = 0u - n;
    return static_cast<int>(n);
}

}  // namespace

void SetProfileDirectory(const std::string& directory) {
    std::lock_guard lock(gLock);
    gDirectory = directory;
    while (gDirectory.size() > 1 && gDirectory.back() == '/') gDirectory.pop_back();
    gDirectorySet = true;
}

std::string ProfileDirectory() {
    std::lock_guard lock(gLock);
    if (!gDirectorySet) {
        gDirectory = executableDir();
        while (gDirectory.size() > 1 && gDirectory.back() == '/') gDirectory.pop_back();
        gDirectorySet = true;
    }
    return gDirectory;
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& fileName) {
    std::string path = fileName.find('/') == std::string::npos ? ProfileDirectory() + "/" + fileName : fileName;
    std::string text;
    // A pipe, a device or an outsized file is no profile: the defaults, as for none.
    if (readWholeFile(path, text, kMaxProfileBytes) != 0) return defaultValue;
    // An editor's UTF-8 mark would otherwise hide the first section.
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    bool inSection = false;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string t = trim(text.substr(at, end - at));
        at = end + 1;
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            size_t close = t.find(']');
            inSection = close != std::string::npos && sameName(trim(t.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos || !sameName(trim(t.substr(0, eq)), key)) continue;
        std::string value = trim(t.substr(eq + 1));
        if (value.empty()) return defaultValue;
        return parseLeadingInt(value);
    }
    return defaultValue;
}
