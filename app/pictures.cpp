#include "app/pictures.h"

#include <cstdint>
#include <cstring>

QImage toQImage(const art::Indexed8& picture) {
    QImage image(picture.width, picture.height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (uint32_t c : picture.palette) table.append(qRgb(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)));
    image.setColorTable(table);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y), picture.pixels.data() + size_t(y) * size_t(picture.width),
                    size_t(picture.width));
    return image;
}

namespace {

uint32_t le(const QByteArray& b, int at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | uint8_t(b[at + i]);
    return v;
}

// The file holds every byte its headers promise.
bool wholeBitmap(const QByteArray& b) {
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return false;
    const uint64_t pixelsAt = le(b, 10, 4);
    const uint32_t infoSize = le(b, 14, 4);
    int64_t width, height;
    uint32_t bits, compression = 0, imageSize = 0;
    if (infoSize == 12) {  // the old OS/2 header
        width = le(b, 18, 2);
        height = le(b, 20, 2);
        bits = le(b, 24, 2);
    } else {
        if (infoSize < 40 || b.size() < 54) return false;
        width = int32_t(le(b, 18, 4));
        height = int32_t(le(b, 22, 4));
        bits = le(b, 28, 2);
        compression = le(b, 30, 4);
        imageSize = le(b, 34, 4);
    }
    if (width <= 0 || height == 0 || bits == 0 || bits > 32) return false;
    if (width > kMaxPictureSide || height > kMaxPictureSide || height < -kMaxPictureSide) return false;
    const uint64_t rows = uint64_t(height < 0 ? -height : height);
    uint64_t pixelBytes;
    if (compression == 1 || compression == 2) pixelBytes = imageSize;  // run-length: only the stated size is known
    else pixelBytes = (uint64_t(width) * bits + 31) / 32 * 4 * rows;
    return pixelsAt + pixelBytes <= uint64_t(b.size());
}

}  // namespace

QImage loadBitmapFile(const std::string& path) {
    std::string bytes;
    if (readWholeFile(path, bytes, kMaxPictureFileBytes) != 0) return QImage();
    const QByteArray data = QByteArray::fromStdString(bytes);
    if (!wholeBitmap(data)) return QImage();
    return QImage::fromData(data, "BMP");
}

QImage BitmapFileCache::load(const std::string& path) {
    FileStamp now;
    if (fileStamp(path, now) == 0 && path == path_ && now == stamp_ && !image_.isNull()) return image_;
    // Stamped before the read: a change while it is read shows at the next load.
    image_ = loadBitmapFile(path);
    path_ = path;
    stamp_ = now;
    return image_;
}
