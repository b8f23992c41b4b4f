// What the viewer sees of a frame-buffer image: both fields woven into one
// interlaced picture, the pixel words read in the byte order asked for.
#pragma once

#include "tools/picture/png_io.hpp"

#include <cstdint>
#include <span>

enum class byte_order { native, little, big };

// How many words of a frame-buffer image only one byte order reads as pixel
// words (with the top byte 0xFF that every pixel word the programs store
// has): 0xFF in their first byte and not their last (big-endian), or the
// other way round (little-endian). A word with 0xFF at both ends (white,
// blue) tells nothing.
struct order_counts {
    std::size_t big = 0;
    std::size_t little = 0;
};
order_counts count_orders(std::span<const std::uint8_t> fb);

// The byte order of the pixel words: the one more words tell. Native when
// the image does not tell (a blank screen).
byte_order guess_order(std::span<const std::uint8_t> fb);

// The same, of the words that lie in runs a program drew: at least
// drawn_run words in a row that one byte order reads as pixel words (words
// that tell nothing may lie among them). Random bytes make such a word once
// in 256 and no such run in any frame; a program's drawing is made of them.
constexpr std::size_t drawn_run = 8;
order_counts count_drawn(std::span<const std::uint8_t> fb);

// Both orders drawn in large numbers: a PC program and a MIPS program have
// both drawn on the screen, and no byte order shows all of it right.
constexpr std::size_t mixed_words = 1000;
constexpr bool mixed(order_counts drawn) { return drawn.big >= mixed_words && drawn.little >= mixed_words; }

// The pixel word stored at bytes[0..3].
std::uint32_t load_word(const std::uint8_t* bytes, byte_order order);

// How the lines are laid out: woven as the viewer sees them, or as stored
// (one field above the other, as a display of the raw buffer shows them).
enum class line_order { woven, stored };

// fb holds at least fb_bytes.
picture screen_picture(std::span<const std::uint8_t> fb, byte_order order, line_order lines = line_order::woven);
