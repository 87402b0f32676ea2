#include "platform/exe_dir.h"

#include <unistd.h>

#include <vector>

std::string executableDir() {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return "./";
        if (size_t(n) < buf.size()) {
            std::string path(buf.data(), size_t(n));
            const auto slash = path.rfind('/');
            return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
        }
        buf.resize(buf.size() * 2);  // a path longer than the buffer was cut: try again
    }
}
