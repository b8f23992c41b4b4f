// Turning a picture into the fewest words of the boot picture's run-length format.
#pragma once

#include "png_io.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A pixel that the picture leaves as the screen holds it (fully transparent).
// Painted pixel words always carry the top byte 0xFF, so 0 is free for this.
inline constexpr std::uint32_t keep_pixel = 0;

// How many pixels are neither opaque nor fully transparent.
std::size_t partly_transparent(const picture& png);

// The picture's pixels in buffer order: even display lines into the upper
// field, odd ones into the lower. Fully transparent pixels are kept as the
// screen holds them, partly transparent ones blended over the background
// (0xRRGGBB). The picture must be 720x576.
std::vector<std::uint32_t> screen_order(const picture& png, std::uint32_t background = 0);

// The token sequence, end word included, that paints the pixels in the fewest
// words and, among those, the fewest tokens.
std::vector<std::uint32_t> encode_picture(std::span<const std::uint32_t> pixels);

// Walks and paints the encoding: true when it paints exactly these pixels,
// in no more words than a picture of the screen may take.
bool verify_encoding(std::span<const std::uint32_t> words, std::span<const std::uint32_t> pixels, std::string& why);

// The C++ source that embeds the words as the array pic. Its head records
// the command that regenerates it: the options that change the encoding
// (such as --background 000000) and the paths it was made from and to.
std::string generated_source(std::span<const std::uint32_t> words, const std::string& options, const char* in_path,
                             const char* out_path);
