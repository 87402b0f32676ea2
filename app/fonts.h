// The window's typefaces, as one helper for both windows.
#pragma once
#include <QFont>

// "Ｐゴシック" (proportional) or "ゴシック" (monospaced) at a size in pixels,
// with the CJK face the desktop has as the fallback.
QFont gothicFont(bool proportional, int pixels, bool bold, bool italic = false);
