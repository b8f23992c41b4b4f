// What the viewer sees of a frame-buffer image: both fields woven into one
// interlaced picture, the pixel words read in the byte order asked for.
#pragma once

#include "tools/picture/png_io.hpp"

#include <cstdint>
#include <span>

enum class byte_order { native, little, big };

// The byte order of the pixel words in a frame-buffer image, told by the
// top byte 0xFF that every pixel word the programs store has: the order in
// which more words have 0xFF where their top byte goes. Native when the
// image does not tell (a blank screen).
byte_order guess_order(std::span<const std::uint8_t> fb);

// The pixel word stored at bytes[0..3].
std::uint32_t load_word(const std::uint8_t* bytes, byte_order order);

// How the lines are laid out: woven as the viewer sees them, or as stored
// (one field above the other, as a display of the raw buffer shows them).
enum class line_order { woven, stored };

// fb holds at least fb_bytes.
picture screen_picture(std::span<const std::uint8_t> fb, byte_order order, line_order lines = line_order::woven);
