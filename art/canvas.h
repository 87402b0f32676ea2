// A tiny paint box for 8-bit pixel art: filled and outlined shapes, thick
// lines, arcs and little hand-set glyphs, all in palette indexes.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "art/art.h"

namespace art {

class Canvas {
public:
    Canvas(Indexed8& picture, int originX = 0, int originY = 0, int width = -1, int height = -1);

    void put(int x, int y, uint8_t colour);
    uint8_t at(int x, int y) const;
    void fill(uint8_t colour);
    void rect(int x0, int y0, int x1, int y1, uint8_t colour);  // inclusive corners

    // Ellipse of centre (cx, cy), radii rx, ry; `outline` is drawn one pixel
    // around it first. Shading darkens towards the lower right and puts a
    // highlight at the upper left; pass the same colour to switch it off.
    void ellipse(double cx, double cy, double rx, double ry, uint8_t colour);
    void shadedBlob(double cx, double cy, double rx, double ry, uint8_t outline, uint8_t base, uint8_t shade,
                    uint8_t light);
    // Paints only over pixels that currently hold `onto`, `onto2` or `onto3`.
    void ellipseOnto(double cx, double cy, double rx, double ry, uint8_t colour, std::initializer_list<uint8_t> onto);

    void line(double x0, double y0, double x1, double y1, uint8_t colour, double thickness = 1.0);
    // Arc of a circle/ellipse, angles in degrees, 0 = right, 90 = down.
    void arc(double cx, double cy, double rx, double ry, double from, double to, uint8_t colour,
             double thickness = 1.0);
    void dot(double cx, double cy, double r, uint8_t colour);

    // A glyph written as rows of characters: '#' is `colour`, 'o' is `outline`, '+' a white glint,
    // others are untouched.
    void glyph(int x, int y, std::initializer_list<std::string_view> rows, uint8_t colour, uint8_t outline = 0);

private:
    Indexed8& p_;
    int ox_, oy_, w_, h_;
};

}  // namespace art
