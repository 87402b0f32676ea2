#include "app/pictures.h"

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
