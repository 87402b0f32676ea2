#include "art/art.h"
#include "art/bytes.h"

namespace art {

std::vector<uint8_t> encodeBmp(const Indexed8& p) {
    const uint32_t stride = (uint32_t(p.width) + 3) & ~3u;
    const uint32_t pixelOffset = 14 + 40 + 256 * 4;
    const uint32_t imageSize = stride * uint32_t(p.height);
    std::vector<uint8_t> out;
    out.reserve(pixelOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, pixelOffset + imageSize);
    put32(out, 0);
    put32(out, pixelOffset);
    put32(out, 40);  // BITMAPINFOHEADER
    put32(out, uint32_t(p.width));
    put32(out, uint32_t(p.height));  // positive: rows stored bottom-up
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);  // BI_RGB
    put32(out, imageSize);
    put32(out, 3780);  // 96 dpi
    put32(out, 3780);
    put32(out, 256);
    put32(out, 0);
    for (uint32_t c : p.palette) {
        out.push_back(uint8_t(c));        // blue
        out.push_back(uint8_t(c >> 8));   // green
        out.push_back(uint8_t(c >> 16));  // red
        out.push_back(0);
    }
    for (int y = p.height - 1; y >= 0; --y) {
        const uint8_t* row = p.pixels.data() + size_t(y) * p.width;
        out.insert(out.end(), row, row + p.width);
        out.insert(out.end(), stride - uint32_t(p.width), 0);
    }
    return out;
}

}  // namespace art
