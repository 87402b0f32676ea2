// The pictures stored with the window, drawn by our art code.
#pragma once
#include <QImage>
#include <string>

#include "art/art.h"

QImage toQImage(const art::Indexed8& picture);

// Reads a Windows bitmap file whole; a null image when it cannot be: missing,
// another format under a .bmp name, or cut short (the rows it lacks would show
// whatever memory held).
QImage loadBitmapFile(const std::string& path);
