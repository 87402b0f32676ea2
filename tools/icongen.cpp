// Draws the program's icon for the desktop's hicolor theme: the first frame of
// the cheerful face strip ("niko"), kept crisp, on a transparent square.
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "art/art.h"

namespace {

QImage faceFrame() {
    const art::Indexed8 strip = art::faceStrip(2);  // niko
    QImage frame(100, 100, QImage::Format_ARGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const uint32_t c = strip.palette[strip.pixels[size_t(y) * size_t(strip.width) + size_t(x)]];
            frame.setPixel(x, y, 0xFF000000u | c);
        }
    return frame;
}

// The frame scaled by a whole factor (nearest neighbour), centred on a
// transparent square of `size`, or shrunk smoothly when it does not fit.
QImage icon(const QImage& frame, int size) {
    QImage out(size, size, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QPainter p(&out);
    const int factor = size / frame.width();
    if (factor >= 1) {
        const int side = frame.width() * factor;
        const int at = (size - side) / 2;
        p.drawImage(QRect(at, at, side, side), frame);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(QRect(0, 0, size, size), frame);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icongen HICOLOR_DIR\n");
        return 2;
    }
    const QImage frame = faceFrame();
    for (int size : {32, 48, 64, 128, 256}) {
        const std::filesystem::path dir =
            std::filesystem::path(argv[1]) / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        const std::string file = (dir / "jp.example.piko.png").string();
        if (!icon(frame, size).save(QString::fromStdString(file), "PNG")) {
            std::fprintf(stderr, "icongen: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
