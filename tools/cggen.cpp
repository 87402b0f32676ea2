// Writes the cg/ directory: the face strips, the empty room and the sound effects.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "art/art.h"

namespace {
bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cggen OUTPUT_DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    bool ok = true;
    for (int c = 0; c < 11; ++c)
        ok &= writeFile(dir / (std::string(art::kFaceNames[size_t(c)]) + ".bmp"), art::encodeBmp(art::faceStrip(c)));
    ok &= writeFile(dir / "door.bmp", art::encodeBmp(art::room()));
    for (int n = 1; n <= 7; ++n)
        ok &= writeFile(dir / (std::to_string(n) + ".wav"), art::encodeWav(art::effect(n)));
    if (!ok) {
        std::fprintf(stderr, "cggen: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
