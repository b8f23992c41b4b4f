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

// The picture's pixels in buffer order: even display lines into the upper
// field, odd ones into the lower. The picture must be 720x576.
std::vector<std::uint32_t> screen_order(const picture& png);

// The shortest token sequence, end word included, that paints the pixels.
std::vector<std::uint32_t> encode_picture(std::span<const std::uint32_t> pixels);

// The C++ source that embeds the words as the array pic.
std::string generated_source(std::span<const std::uint32_t> words, const std::string& png_path);
