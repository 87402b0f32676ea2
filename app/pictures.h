// The pictures stored with the window, drawn by our art code.
#pragma once
#include <QImage>

#include "tools/art/art.h"

QImage toQImage(const art::Indexed8& picture);
