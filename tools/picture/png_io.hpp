// Reading and writing 720x576 pictures as PNG for the host tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct rgba {
    std::uint8_t r, g, b, a;
    bool operator==(const rgba&) const = default;
};

struct picture {
    int width = 0;
    int height = 0;
    std::vector<rgba> pixels; // row after row, top to bottom
};

struct picture_size {
    int width;
    int height;
};

// Reads any PNG as 8-bit RGBA. When a size is required, a picture of another
// size is refused before it is decoded. On failure returns false and sets why.
bool read_png(const char* path, picture& out, std::string& why, const picture_size* required = nullptr);

// Writes an 8-bit RGB PNG (alpha dropped) or RGBA PNG. On failure returns
// false and sets why.
bool write_png(const char* path, const picture& pic, std::string& why, bool with_alpha = false);
