// The creature: a round cream-coloured blob with a little antenna, stubby arms
// and feet. Each condition gets its own eyes, mouth and a prop that reads at a
// glance (tears, Z's, question marks, a thermometer, a halo ...); frame 1 is a
// breath (the body squashes a pixel) plus a blink or a moved prop.
#include <cmath>
#include <numbers>

#include "art/art.h"
#include "art/canvas.h"
#include "art/palette.h"

namespace art {
namespace {

using namespace pal;

struct Skin {
    uint8_t base, shade, light;
};
constexpr Skin kNormalSkin{Body, BodyShade, BodyLight};
constexpr Skin kIllSkin{Ill, IllShade, IllLight};
constexpr Skin kDeadSkin{Dead, DeadShade, DeadLight};

// Where the face sits in a frame; `dy` follows the breath.
struct Face {
    Canvas& c;
    Skin skin;
    double dy;
    double lx() const { return 37; }
    double rx() const { return 63; }
    double ey() const { return 53 + dy; }
    double my() const { return 66 + dy; }
};

void drawBody(Canvas& c, Skin skin, int breath, bool droop) {
    c.fill(Bg);
    c.rect(0, 90, 99, 99, BgShade);
    c.ellipse(50, 91, 34, 4.5, BgShade);
    // Antenna first, so the body's outline overlaps its root.
    const double top = 26 + breath;
    if (droop) {
        c.arc(60, top, 10, 9, 180, 270, Ink, 2.2);
        c.shadedBlob(63, top - 7, 3.4, 3.4, Ink, Antenna, Blush, White);
    } else {
        c.line(50, top + 2, 53, top - 10, Ink, 2.2);
        c.shadedBlob(54, top - 13, 4, 4, Ink, Antenna, Blush, White);
    }
    c.shadedBlob(37, 88, 8.5, 4.5, Ink, skin.base, skin.shade, skin.base);
    c.shadedBlob(63, 88, 8.5, 4.5, Ink, skin.base, skin.shade, skin.base);
    c.shadedBlob(14, 63 + breath, 6, 7, Ink, skin.base, skin.shade, skin.base);
    c.shadedBlob(86, 63 + breath, 6, 7, Ink, skin.base, skin.shade, skin.base);
    c.shadedBlob(50, 57 + breath * 0.5, 37 + breath, 31 - breath * 0.5, Ink, skin.base, skin.shade, skin.light);
}

void cheeks(Face& f, uint8_t colour) {
    f.c.ellipseOnto(25, f.ey() + 10, 5.5, 2.6, colour, {f.skin.base, f.skin.shade, f.skin.light});
    f.c.ellipseOnto(75, f.ey() + 10, 5.5, 2.6, colour, {f.skin.base, f.skin.shade, f.skin.light});
}

void openEye(Face& f, double x, double lookX = 0, double lookY = 0, double size = 1.0) {
    const double y = f.ey();
    f.c.ellipse(x + lookX, y + lookY, 4.2 * size, 5.8 * size, Pupil);
    f.c.dot(x + lookX - 1.4 * size, y + lookY - 2.4 * size, 1.5 * size, White);
    if (size > 1.1) f.c.dot(x + lookX + 1.6 * size, y + lookY + 2.2 * size, 0.9, White);
}

void openEyes(Face& f, double lookX = 0, double lookY = 0, double size = 1.0) {
    openEye(f, f.lx(), lookX, lookY, size);
    openEye(f, f.rx(), lookX, lookY, size);
}

// A blink: the lids meet in a soft downward curve.
void blinkEyes(Face& f) {
    for (double x : {f.lx(), f.rx()}) f.c.arc(x, f.ey() - 2, 4.8, 3.2, 20, 160, Ink, 1.8);
}

// The contented closed eyes of a smile: ^ ^
void smileEyes(Face& f) {
    for (double x : {f.lx(), f.rx()}) f.c.arc(x, f.ey() + 2, 4.8, 4.6, 200, 340, Ink, 2.0);
}

void smallSmile(Face& f) { f.c.arc(50, f.my() - 3, 5, 4, 25, 155, Ink, 1.7); }

void openSmile(Face& f, double w, double h) {
    const double y = f.my() - 1;
    // A half disc: flat top, round bottom.
    f.c.ellipse(50, y, w + 1.3, h + 1.3, Ink);
    f.c.ellipse(50, y, w, h, Mouth);
    f.c.rect(int(50 - w - 2), int(y - h - 2), int(50 + w + 2), int(y) - 1, f.skin.base);
    f.c.line(50 - w - 1, y - 0.5, 50 + w + 1, y - 0.5, Ink, 1.6);
    f.c.ellipseOnto(50, y + h * 0.75, w * 0.55, h * 0.45, Tongue, {Mouth});
}

void heart(Canvas& c, int x, int y) {
    c.glyph(x, y,
            {".oo.oo.",
             "o##o##o",
             "o#####o",
             "o#####o",
             ".o###o.",
             "..o#o..",
             "...o..."},
            Heart, Ink);
    c.put(x + 2, y + 2, White);
}

void sparkle(Canvas& c, int x, int y) {
    c.glyph(x, y,
            {"....o....",
             "...o#o...",
             "...o#o...",
             "..o###o..",
             "oo##.##oo",
             "..o###o..",
             "...o#o...",
             "...o#o...",
             "....o...."},
            Gold, Ink);
}

void letterZ(Canvas& c, int x, int y, bool big) {
    if (big)
        c.glyph(x, y,
                {"#######",
                 "#######",
                 "....##.",
                 "...##..",
                 "..##...",
                 ".##....",
                 "#######",
                 "#######"},
                Sleep);
    else
        c.glyph(x, y,
                {"#####",
                 "...#.",
                 "..#..",
                 ".#...",
                 "#####"},
                Sleep);
}

void question(Canvas& c, int x, int y) {
    c.glyph(x, y,
            {"..oooo..",
             ".o####o.",
             "o##oo##o",
             "o##o.o##o",
             ".oo..o##o",
             "....o##o.",
             "...o##o..",
             "...o##o..",
             "....oo...",
             "...o##o..",
             "...o##o..",
             "....oo..."},
            Confused, Ink);
}

// A drop of water, point up, with a glint; tears and sweat alike.
void drop(Canvas& c, double x, double y) {
    c.glyph(int(x) - 3, int(y) - 4,
            {"...o...",
             "..o#o..",
             "..o#o..",
             ".o###o.",
             "o#+###o",
             "o#+###o",
             "o#####o",
             ".o###o.",
             "..ooo.."},
            Tear, Ink);
}

void angerMark(Canvas& c, int x, int y, bool big) {
    // The throbbing vein: four bent strokes round an empty middle; it swells in frame 0.
    if (big)
        c.glyph(x, y,
                {"..##...##..",
                 "..##...##..",
                 "###.....###",
                 "##.......##",
                 "...........",
                 "...........",
                 "##.......##",
                 "###.....###",
                 "..##...##..",
                 "..##...##.."},
                Angry);
    else
        c.glyph(x + 1, y + 1,
                {"..#...#..",
                 "..#...#..",
                 "##.....##",
                 ".........",
                 ".........",
                 "##.....##",
                 "..#...#..",
                 "..#...#.."},
                Angry);
}

void spiral(Canvas& c, double cx, double cy, double turn) {
    for (double t = 0; t < 3.2 * std::numbers::pi; t += 0.05) {
        const double r = 0.4 + t * 0.55;
        c.put(int(std::floor(cx + r * std::cos(t + turn))), int(std::floor(cy + r * std::sin(t + turn))), Ink);
    }
}

void drawFace(Canvas& c, int condition, int frame) {
    const int breath = frame;
    const Skin skin = condition == 8 ? kIllSkin : condition == 10 ? kDeadSkin : kNormalSkin;
    drawBody(c, skin, breath, condition == 10 || condition == 3 || condition == 8);
    Face f{c, skin, double(breath)};
    switch (condition) {
        case 0:  // futu: calm, round eyes, a small smile; frame 1 blinks
            if (frame == 0) openEyes(f);
            else blinkEyes(f);
            smallSmile(f);
            cheeks(f, Blush);
            break;
        case 1:  // fuki: sulky side glance under heavy lids, pout, grumble cloud
            for (double x : {f.lx(), f.rx()}) {
                openEye(f, x, frame == 0 ? 2 : -2, 1);
                c.rect(int(x) - 6, int(f.ey()) - 7, int(x) + 6, int(f.ey()) - 1, skin.base);
                c.line(x - 6, f.ey() - 0.5, x + 6, f.ey() - 0.5, Ink, 2);
            }
            c.line(44, f.my() - 1, 48, f.my() - 3, Ink, 1.6);
            c.line(48, f.my() - 3, 52, f.my() - 1, Ink, 1.6);
            c.line(52, f.my() - 1, 56, f.my() - 3, Ink, 1.6);
            cheeks(f, Blush);
            for (int i = 0; i < 3; ++i) c.dot(78 + i * 6 + frame, 14 - (i % 2) * 2, 5.2, Ink);
            for (int i = 0; i < 3; ++i) c.dot(78 + i * 6 + frame, 14 - (i % 2) * 2, 4.0, Sulk);
            for (int i = 0; i < 5; ++i)
                c.line(76 + i * 3 + frame, 12 + (i % 2) * 4, 79 + i * 3 + frame, 12 + ((i + 1) % 2) * 4, Ink);
            break;
        case 2:  // niko: ^ ^ eyes, open grin, rosy cheeks; frame 1 bounces with a sparkle
            smileEyes(f);
            openSmile(f, 7, 5);
            cheeks(f, Blush);
            if (frame == 0) sparkle(c, 82, 22);
            else sparkle(c, 12, 18);
            break;
        case 3:  // sabisi: small eyes looking down, worried brows, frown, "..." above
            if (frame == 0) openEyes(f, 0, 2, 0.8);
            else blinkEyes(f);
            c.line(f.lx() - 6, f.ey() - 6, f.lx() + 3, f.ey() - 10, Ink, 1.8);
            c.line(f.rx() - 3, f.ey() - 10, f.rx() + 6, f.ey() - 6, Ink, 1.8);
            c.arc(50, f.my() + 2, 5, 3.5, 200, 340, Ink, 1.7);
            for (int i = 0; i < 3; ++i) c.dot(74 + i * 6, 12 - frame, 1.8, Sleep);
            break;
        case 4:  // uresi: big sparkling eyes, wide open mouth, hearts
            openEyes(f, 0, 0, 1.25);
            openSmile(f, 10, 8);
            cheeks(f, Blush);
            if (frame == 0) {
                heart(c, 80, 16);
                heart(c, 8, 28);
            } else {
                heart(c, 82, 12);
                heart(c, 10, 22);
            }
            break;
        case 5:  // naku: squeezed eyes, wailing mouth, streaming tears
            c.line(f.lx() - 5, f.ey() - 3, f.lx() + 4, f.ey(), Ink, 2);
            c.line(f.lx() + 4, f.ey(), f.lx() - 5, f.ey() + 3, Ink, 2);
            c.line(f.rx() + 5, f.ey() - 3, f.rx() - 4, f.ey(), Ink, 2);
            c.line(f.rx() - 4, f.ey(), f.rx() + 5, f.ey() + 3, Ink, 2);
            c.line(f.lx() - 7, f.ey() - 8, f.lx() + 3, f.ey() - 11, Ink, 1.6);
            c.line(f.rx() - 3, f.ey() - 11, f.rx() + 7, f.ey() - 8, Ink, 1.6);
            c.ellipse(50, f.my() + 2, 7.3, 6.3, Ink);
            c.ellipse(50, f.my() + 2, 6, 5, Mouth);
            c.ellipseOnto(50, f.my() + 5, 3.5, 2, Tongue, {Mouth});
            for (double x : {f.lx() - 3, f.rx() + 3}) {
                c.rect(int(x) - 1, int(f.ey()) + 4, int(x) + 1, int(f.ey()) + 20, Tear);
                c.rect(int(x), int(f.ey()) + 5, int(x), int(f.ey()) + 18, TearLight);
            }
            drop(c, frame == 0 ? 18 : 14, frame == 0 ? 42 : 36);
            drop(c, frame == 0 ? 82 : 86, frame == 0 ? 42 : 36);
            break;
        case 6:  // okoru: V brows, glaring eyes, clenched teeth, red cheeks, anger mark
            openEyes(f, 0, 1, 0.85);
            c.line(f.lx() - 7, f.ey() - 10, f.lx() + 5, f.ey() - 5, Ink, 2.6);
            c.line(f.rx() + 7, f.ey() - 10, f.rx() - 5, f.ey() - 5, Ink, 2.6);
            c.rect(41, int(f.my()) - 2, 59, int(f.my()) + 4, Ink);
            c.rect(42, int(f.my()) - 1, 58, int(f.my()) + 3, White);
            c.rect(42, int(f.my()) + 1, 58, int(f.my()) + 1, Ink);
            for (int x = 46; x <= 54; x += 4) c.rect(x, int(f.my()) - 1, x, int(f.my()) + 3, Ink);
            cheeks(f, Angry);
            angerMark(c, 74, 26, frame == 0);
            break;
        case 7:  // neru: closed eyes, little open mouth, Z's drifting up
            for (double x : {f.lx(), f.rx()}) c.arc(x, f.ey() - 1, 4.8, 3, 10, 170, Ink, 1.8);
            c.ellipse(50, f.my(), 2.6 + frame * 0.6, 2.2 + frame * 0.6, Ink);
            c.ellipse(50, f.my(), 1.4 + frame * 0.6, 1.0 + frame * 0.6, Mouth);
            cheeks(f, Blush);
            if (frame == 0) {
                letterZ(c, 72, 18, true);
                letterZ(c, 84, 8, false);
            } else {
                letterZ(c, 74, 14, true);
                letterZ(c, 86, 4, false);
                letterZ(c, 66, 4, false);
            }
            break;
        case 8:  // byoki: green skin, dull eyes with bags, thermometer, sweat, gloom lines
            for (double x : {f.lx(), f.rx()}) {
                if (frame == 0) {
                    c.ellipse(x, f.ey() + 1, 3.6, 3.2, Pupil);
                    c.rect(int(x) - 5, int(f.ey()) - 4, int(x) + 5, int(f.ey()), skin.base);
                    c.line(x - 5, f.ey() + 0.5, x + 5, f.ey() + 0.5, Ink, 1.6);
                } else {
                    c.line(x - 5, f.ey() + 1, x + 5, f.ey() + 1, Ink, 1.8);
                }
                c.arc(x, f.ey() + 5, 4, 2, 20, 160, skin.shade, 1.4);
            }
            c.arc(46, f.my() + 1, 3, 2, 180, 360, Ink, 1.5);
            c.arc(52, f.my() + 1, 3, 2, 0, 180, Ink, 1.5);
            c.line(56, f.my() + 1, 74, f.my() + 10, Ink, 4.2);
            c.line(56, f.my() + 1, 74, f.my() + 10, White, 2.0);
            c.dot(57, f.my() + 1.5, 1.6, Angry);
            for (int i = 0; i < 4; ++i) c.line(32 + i * 4, 30 + breath, 32 + i * 4, 38 + breath, IllShade, 1.2);
            drop(c, 82, frame == 0 ? 34 : 38);
            break;
        case 9:  // kuru: spiral eyes, wobbly mouth, question marks
            spiral(c, f.lx(), f.ey(), frame * 1.6);
            spiral(c, f.rx(), f.ey(), frame * 1.6 + std::numbers::pi);
            for (int i = 0; i < 4; ++i)
                c.arc(44 + i * 4, f.my(), 2, 1.6, i % 2 ? 0 : 180, i % 2 ? 180 : 360, Ink, 1.5);
            cheeks(f, Blush);
            question(c, 78, frame == 0 ? 10 : 6);
            question(c, 12, frame == 0 ? 6 : 10);
            break;
        default:  // sinu: grey skin, X eyes, tongue out, a halo above
            for (double x : {f.lx(), f.rx()}) {
                c.line(x - 4, f.ey() - 4, x + 4, f.ey() + 4, Ink, 2.2);
                c.line(x + 4, f.ey() - 4, x - 4, f.ey() + 4, Ink, 2.2);
            }
            c.line(43, f.my() - 1, 57, f.my() - 1, Ink, 1.6);
            c.ellipse(53, f.my() + 3, 3.8, 4.2, Ink);
            c.ellipse(53, f.my() + 3, 2.6, 3.0, Tongue);
            c.rect(49, int(f.my()) - 3, 57, int(f.my()) - 2, skin.base);
            c.line(43, f.my() - 1, 57, f.my() - 1, Ink, 1.6);
            c.arc(50, 10 - frame * 2, 15, 4, 0, 360, Ink, 3.6);
            c.arc(50, 10 - frame * 2, 15, 4, 0, 360, Gold, 1.6);
            break;
    }
}

}  // namespace

Indexed8 faceStrip(int condition) {
    Indexed8 p;
    p.width = 200;
    p.height = 100;
    p.palette = pal::palette();
    p.pixels.assign(200 * 100, pal::Bg);
    for (int frame = 0; frame < 2; ++frame) {
        Canvas c(p, frame * 100, 0, 100, 100);
        drawFace(c, condition, frame);
    }
    return p;
}

Indexed8 startStrip() {
    Indexed8 p;
    p.width = 200;
    p.height = 100;
    p.palette = pal::palette();
    p.pixels.assign(200 * 100, pal::Bg);
    for (int frame = 0; frame < 2; ++frame) {
        Canvas c(p, frame * 100, 0, 100, 100);
        drawBody(c, kNormalSkin, 0, false);
        Face f{c, kNormalSkin, 0};
        if (frame == 0) openEyes(f);
        else blinkEyes(f);
        smallSmile(f);
        cheeks(f, Blush);
    }
    return p;
}

}  // namespace art
