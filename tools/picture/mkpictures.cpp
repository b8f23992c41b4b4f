// mkpictures: writes 720x576 test pictures made by program into a folder,
// the kinds a user brings as a boot picture:
//   noise.png       every pixel its own colour (the encoder's worst case)
//   gradient.png    a smooth diagonal colour gradient (many short tokens)
//   logo.png        flat areas with anti-aliased edges, opaque
//   logo-alpha.png  the same logo on a transparent background, soft edges
//   photo.png       a landscape as a camera takes it: smooth shapes under
//                   the sensor's noise, so that hardly two neighbours match
//   holes.png       noise with every other pixel fully transparent: the
//                   format's worst case, 2 words a pixel
#include "png_io.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int width = 720;
constexpr int height = 576;

picture blank() { return picture{width, height, std::vector<rgba>(std::size_t(width) * height)}; }

picture noise()
{
    picture p = blank();
    std::uint32_t state = 2463534242u; // xorshift: the same picture on every run
    for (rgba& px : p.pixels) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        px = rgba{std::uint8_t(state), std::uint8_t(state >> 8), std::uint8_t(state >> 16), 255};
    }
    return p;
}

// From deep blue at the top left to orange at the bottom right, along the
// diagonal: a wallpaper's kind of gradient.
picture gradient()
{
    picture p = blank();
    const rgba from{16, 32, 96, 255}, to{240, 144, 32, 255};
    const int steps = width + height - 2;
    const auto mix = [&](std::uint8_t a, std::uint8_t b, int at) { return std::uint8_t(a + (b - a) * at / steps); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.pixels[std::size_t(y) * width + x] =
                rgba{mix(from.r, to.r, x + y), mix(from.g, to.g, x + y), mix(from.b, to.b, x + y), 255};
    return p;
}

// How much of the pixel at (x, y) the logo covers, 0..1, from 4x4 samples: a
// disc, a ring around it and a bar beneath.
double coverage(int x, int y)
{
    int inside = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
            const double r = std::hypot(px - 360, py - 250);
            const bool disc = r < 90;
            const bool ring = r > 120 && r < 140;
            const bool bar = px > 200 && px < 520 && py > 420 && py < 450 + (px - 200) / 40;
            inside += disc || ring || bar;
        }
    }
    return inside / 16.0;
}

picture logo(bool transparent)
{
    picture p = blank();
    const rgba background{16, 32, 80, 255}, ink{240, 200, 40, 255};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double c = coverage(x, y);
            rgba& px = p.pixels[std::size_t(y) * width + x];
            if (transparent) {
                px = ink;
                px.a = std::uint8_t(std::lround(c * 255));
            } else {
                const auto mix = [&](std::uint8_t a, std::uint8_t b) {
                    return std::uint8_t(std::lround(a + (b - a) * c));
                };
                px = rgba{mix(background.r, ink.r), mix(background.g, ink.g), mix(background.b, ink.b), 255};
            }
        }
    }
    return p;
}

// A sky fading to the horizon with a sun, two rows of hills and a lake that
// mirrors the sky, each pixel with a little noise of its own.
picture photo()
{
    picture p = blank();
    std::uint32_t state = 88172645u;
    const auto noise = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state % 7) - 3;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double far_hill = 300 + 40 * std::sin(x / 90.0) + 15 * std::sin(x / 23.0);
            const double near_hill = 380 + 30 * std::sin(x / 140.0 + 1) + 10 * std::sin(x / 31.0);
            const int sky_y = y < 430 ? y : 860 - y; // the lake mirrors the sky
            double r = 90 + sky_y * 0.25, g = 140 + sky_y * 0.15, b = 230 - sky_y * 0.1;
            if (std::hypot(x - 540, sky_y - 120) < 40)
                r = 255, g = 240, b = 190;
            if (y >= 430)
                r *= 0.6, g *= 0.7, b *= 0.8;
            else if (y > near_hill)
                r = 60 + (y - near_hill) * 0.3, g = 110 + (y - near_hill) * 0.2, b = 50;
            else if (y > far_hill)
                r = 100, g = 120 + (y - far_hill) * 0.2, b = 110;
            const auto channel = [&](double v) { return std::uint8_t(std::clamp(int(v) + noise(), 0, 255)); };
            p.pixels[std::size_t(y) * width + x] = rgba{channel(r), channel(g), channel(b), 255};
        }
    }
    return p;
}

// Transparent pixels fit only in skip runs, so each costs 2 words, and so
// does each opaque one between them.
picture holes()
{
    picture p = noise();
    for (std::size_t i = 0; i < p.pixels.size(); ++i)
        if ((i + i / width) % 2 == 0)
            p.pixels[i].a = 0;
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: mkpictures FOLDER\n  writes noise.png, gradient.png, logo.png, logo-alpha.png, "
                        "photo.png and holes.png there\n");
        return 2;
    }
    const std::string dir = argv[1];
    const struct {
        const char* name;
        picture pic;
        bool alpha;
    } pictures[] = {{"noise", noise(), false},        {"gradient", gradient(), false}, {"logo", logo(false), false},
                    {"logo-alpha", logo(true), true}, {"photo", photo(), false},       {"holes", holes(), true}};
    for (const auto& p : pictures) {
        std::string why;
        if (!write_png((dir + "/" + p.name + ".png").c_str(), p.pic, why, p.alpha)) {
            fprintf(stderr, "mkpictures: %s\n", why.c_str());
            return 1;
        }
    }
    return 0;
}
