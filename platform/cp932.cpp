#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

// glibc's "CP932" keeps 0x5C as a backslash and round-trips 0x8160 (～),
// unlike its "SHIFT_JIS". One converter per direction and thread.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: CP932 is not available");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can; calls onBad(input) at an unconvertible or
    // invalid sequence and expects it to say how many input bytes to skip and
    // what to emit instead.
    template <class OnBad>
    std::string run(std::string_view in, OnBad onBad) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(in.size() * 2 + 4);
        char buf[256];
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        while (left > 0) {
            char* dst = buf;
            size_t room = sizeof buf;
            const size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buf, size_t(dst - buf));
            if (r == size_t(-1) && errno != E2BIG) {
                auto [skip, replacement] = onBad(std::string_view(src, left));
                if (skip == 0) return out;  // caller gave up
                src += skip;
                left -= skip;
                out += replacement;
            }
        }
        return out;
    }

private:
    iconv_t cd_;
};

Converter& toCp932Converter() {
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

Converter& fromCp932Converter() {
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

// Length of the UTF-8 sequence starting at s (1 for a stray byte).
size_t utf8Length(std::string_view s) {
    const unsigned char b = static_cast<unsigned char>(s[0]);
    size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return n <= s.size() ? n : s.size();
}

}  // namespace

std::optional<std::string> toCp932(std::string_view utf8) {
    bool ok = true;
    std::string out = toCp932Converter().run(utf8, [&](std::string_view) {
        ok = false;
        return std::pair<size_t, std::string>{0, {}};
    });
    if (!ok) return std::nullopt;
    return out;
}

std::string toCp932Lossy(std::string_view utf8, char replacement) {
    return toCp932Converter().run(utf8, [&](std::string_view rest) {
        return std::pair<size_t, std::string>{utf8Length(rest), std::string(1, replacement)};
    });
}

std::string fromCp932(std::string_view cp932) {
    return fromCp932Converter().run(cp932, [](std::string_view) {
        // A lead byte with a bad or missing trail byte is dropped alone, so the trail shows as itself.
        return std::pair<size_t, std::string>{1, "\xEF\xBF\xBD"};
    });
}
