// What the viewer sees of a frame-buffer image: both fields woven into one
// interlaced picture, the pixel words read in the byte order asked for.
#pragma once

#include "png_io.hpp"

#include <cstdint>
#include <span>

enum class byte_order { native, little, big };

// The pixel word stored at bytes[0..3].
std::uint32_t load_word(const std::uint8_t* bytes, byte_order order);

// fb holds at least fb_bytes.
picture screen_picture(std::span<const std::uint8_t> fb, byte_order order);
