// The pictures stored with the window, drawn by our art code.
#pragma once
#include <QImage>
#include <string>

#include "art/art.h"
#include "platform/file.h"

QImage toQImage(const art::Indexed8& picture);

// The largest picture read, in pixels each way and in bytes of file: far
// beyond the 200 x 100 face strips and the 200 x 200 room, yet a picture
// claiming more is refused before anything decodes it.
constexpr int kMaxPictureSide = 1024;
constexpr std::size_t kMaxPictureFileBytes = 8 << 20;

// Reads a Windows bitmap file whole; a null image when it cannot be: missing,
// not a regular file, larger than the bounds above, another format under a
// .bmp name, or cut short (the rows it lacks would show whatever memory held).
QImage loadBitmapFile(const std::string& path);

// A bitmap file decoded again only when it changed: while it is the same file
// (inode) with the same size and modification time, the picture decoded last
// is given again. Holds one picture, the last one loaded.
class BitmapFileCache {
public:
    QImage load(const std::string& path);

private:
    std::string path_;
    FileStamp stamp_;
    QImage image_;
};
