// drawsplash: draws the project's own boot picture, splash/splash.png: a
// television emblem with a progress bar and the programs' names, light on black.
#include "png_io.hpp"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int width = 720;
constexpr int height = 576;
constexpr rgba black{0, 0, 0, 255};
constexpr rgba light{232, 232, 232, 255};
constexpr rgba accent{90, 160, 230, 255};

// A 5x7 font for the letters the picture needs; each row's five bits left to right.
struct glyph {
    char c;
    unsigned char rows[7];
};
constexpr glyph font[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}}, {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
};

picture canvas{width, height, std::vector<rgba>(std::size_t(width) * height, black)};

void fill(int x0, int y0, int w, int h, rgba c)
{
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            canvas.pixels[std::size_t(y) * width + x] = c;
}

void frame(int x0, int y0, int w, int h, int thick, rgba c)
{
    fill(x0, y0, w, thick, c);
    fill(x0, y0 + h - thick, w, thick, c);
    fill(x0, y0, thick, h, c);
    fill(x0 + w - thick, y0, thick, h, c);
}

// Text centred on the screen's middle column, scale pixels per font dot.
void text(const char* s, int y0, int scale, rgba c)
{
    const int advance = 6 * scale;
    int x0 = (width - int(strlen(s)) * advance + scale) / 2;
    for (; *s != 0; ++s, x0 += advance) {
        for (const glyph& g : font) {
            if (g.c != *s)
                continue;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g.rows[row] & (0x10 >> col))
                        fill(x0 + col * scale, y0 + row * scale, scale, scale, c);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: drawsplash OUTPUT.png\n");
        return 2;
    }
    // The emblem: a television on a stand whose screen frames the place
    // where runbar draws its bar (columns 180-504, display lines 200-219).
    frame(150, 160, 385, 100, 8, light);
    fill(166, 176, 60, 4, accent);
    fill(327, 260, 30, 16, light);
    fill(282, 276, 120, 8, light);

    text("SPLASH", 320, 8, light);
    text("RUNBAR . SPLASH . VERDUMP", 410, 3, accent);

    std::string why;
    if (!write_png(argv[1], canvas, why)) {
        fprintf(stderr, "drawsplash: %s\n", why.c_str());
        return 1;
    }
    return 0;
}
