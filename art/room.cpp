// The empty room shown while no pet lives: a pink corner, wooden floor, a door.
#include "art/art.h"
#include "art/canvas.h"
#include "art/palette.h"

namespace art {

Indexed8 room() {
    using namespace pal;
    Indexed8 p;
    p.width = 100;
    p.height = 100;
    p.palette = palette();
    p.pixels.assign(100 * 100, Wall);
    Canvas c(p);
    constexpr int corner = 24, horizon = 72;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            // The left wall recedes towards the corner; its foot runs down to the left edge.
            const int foot = horizon + (corner - x) * 22 / corner;
            uint8_t col;
            if (x < corner)
                col = y < foot ? WallShade : Floor;
            else
                col = y < horizon ? Wall : Floor;
            c.put(x, y, col);
        }
    // Wallpaper dots and floor boards.
    for (int y = 6; y < horizon - 4; y += 10)
        for (int x = corner + 6 + (y / 10 % 2) * 5; x < 100; x += 10) c.put(x, y, WallLight);
    for (int y = horizon + 6; y < 100; y += 7) c.line(0, y, 99, y, FloorShade);
    for (int y = horizon; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (c.at(x, y) == Floor && (x + (y - horizon) / 7 * 13) % 26 == 0) c.put(x, y, FloorShade);
    // Edges of the corner and skirting board.
    c.line(corner, 0, corner, horizon, Ink);
    c.line(corner, horizon, 99, horizon, Ink);
    c.line(corner, horizon, 0, horizon + 22, Ink);
    c.rect(corner + 1, horizon - 3, 99, horizon - 1, WallShade);
    // The door.
    const int dl = 50, dr = 78, dt = 24;
    c.rect(dl - 2, dt - 2, dr + 2, horizon - 1, Ink);
    c.rect(dl, dt, dr, horizon - 1, Door);
    c.rect(dl, dt, dl + 1, horizon - 1, DoorLight);
    c.rect(dr - 1, dt, dr, horizon - 1, DoorShade);
    for (int py : {dt + 4, dt + 26}) {
        c.rect(dl + 4, py, dr - 4, py + 16, DoorShade);
        c.rect(dl + 5, py + 1, dr - 4, py + 16, Door);
        c.rect(dl + 5, py + 16, dr - 4, py + 16, DoorLight);
    }
    c.dot(dr - 5, dt + 25, 2.2, Ink);
    c.dot(dr - 5, dt + 25, 1.5, Knob);
    c.put(dr - 6, dt + 24, White);
    // A little rug in front of it.
    c.ellipse(64, horizon + 12, 20, 5, Ink);
    c.ellipse(64, horizon + 12, 19, 4, Antenna);
    c.ellipse(64, horizon + 12, 13, 2.4, WallLight);
    return p;
}

}  // namespace art
