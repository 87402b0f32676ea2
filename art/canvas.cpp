#include "art/canvas.h"
#include "art/palette.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace art {

Canvas::Canvas(Indexed8& picture, int originX, int originY, int width, int height)
    : p_(picture),
      ox_(originX),
      oy_(originY),
      w_(width < 0 ? picture.width : width),
      h_(height < 0 ? picture.height : height) {}

void Canvas::put(int x, int y, uint8_t colour) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    p_.pixels[size_t(oy_ + y) * size_t(p_.width) + size_t(ox_ + x)] = colour;
}

uint8_t Canvas::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return 0;
    return p_.pixels[size_t(oy_ + y) * size_t(p_.width) + size_t(ox_ + x)];
}

void Canvas::fill(uint8_t colour) { rect(0, 0, w_ - 1, h_ - 1, colour); }

void Canvas::rect(int x0, int y0, int x1, int y1, uint8_t colour) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) put(x, y, colour);
}

namespace {
// Pixel centres sit at +0.5.
double ellipseDistance(int x, int y, double cx, double cy, double rx, double ry) {
    const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
    return u * u + v * v;
}
}  // namespace

void Canvas::ellipse(double cx, double cy, double rx, double ry, uint8_t colour) {
    for (int y = int(cy - ry) - 1; y <= int(cy + ry) + 1; ++y)
        for (int x = int(cx - rx) - 1; x <= int(cx + rx) + 1; ++x)
            if (ellipseDistance(x, y, cx, cy, rx, ry) <= 1.0) put(x, y, colour);
}

void Canvas::ellipseOnto(double cx, double cy, double rx, double ry, uint8_t colour,
                         std::initializer_list<uint8_t> onto) {
    for (int y = int(cy - ry) - 1; y <= int(cy + ry) + 1; ++y)
        for (int x = int(cx - rx) - 1; x <= int(cx + rx) + 1; ++x)
            if (ellipseDistance(x, y, cx, cy, rx, ry) <= 1.0 && std::find(onto.begin(), onto.end(), at(x, y)) != onto.end())
                put(x, y, colour);
}

void Canvas::shadedBlob(double cx, double cy, double rx, double ry, uint8_t outline, uint8_t base, uint8_t shade,
                        uint8_t light) {
    ellipse(cx, cy, rx + 1.3, ry + 1.3, outline);
    for (int y = int(cy - ry) - 1; y <= int(cy + ry) + 1; ++y)
        for (int x = int(cx - rx) - 1; x <= int(cx + rx) + 1; ++x) {
            if (ellipseDistance(x, y, cx, cy, rx, ry) > 1.0) continue;
            const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
            // Lit like a ball from the upper left: a shaded crescent at the lower right.
            const double z = std::sqrt(std::max(0.0, 1.0 - u * u - v * v));
            const double lit = -0.45 * u - 0.55 * v + 0.70 * z;
            uint8_t c = lit < 0.12 ? shade : base;
            const double hu = u + 0.42, hv = v + 0.5;
            if (hu * hu + hv * hv < 0.045) c = light;
            put(x, y, c);
        }
}

void Canvas::dot(double cx, double cy, double r, uint8_t colour) { ellipse(cx, cy, r, r, colour); }

void Canvas::line(double x0, double y0, double x1, double y1, uint8_t colour, double thickness) {
    const double len = std::hypot(x1 - x0, y1 - y0);
    const int steps = std::max(1, int(len * 3));
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const double x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
        if (thickness <= 1.0)
            put(int(std::floor(x)), int(std::floor(y)), colour);
        else
            dot(x, y, thickness / 2, colour);
    }
}

void Canvas::arc(double cx, double cy, double rx, double ry, double from, double to, uint8_t colour,
                 double thickness) {
    const double span = std::abs(to - from);
    const int steps = std::max(4, int(span * std::max(rx, ry) / 12));
    for (int i = 0; i <= steps; ++i) {
        const double a = (from + (to - from) * i / steps) * std::numbers::pi / 180.0;
        const double x = cx + rx * std::cos(a), y = cy + ry * std::sin(a);
        if (thickness <= 1.0)
            put(int(std::floor(x)), int(std::floor(y)), colour);
        else
            dot(x, y, thickness / 2, colour);
    }
}

void Canvas::glyph(int x, int y, std::initializer_list<std::string_view> rows, uint8_t colour, uint8_t outline) {
    int r = 0;
    for (std::string_view row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (row[c] == '#') put(x + int(c), y + r, colour);
            else if (row[c] == 'o') put(x + int(c), y + r, outline);
            else if (row[c] == '+') put(x + int(c), y + r, pal::White);
        }
        ++r;
    }
}

}  // namespace art
