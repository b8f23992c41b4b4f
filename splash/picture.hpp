// The run-length picture format of the boot picture: 32-bit words forming
// tokens, each begun by a count word c.
//   c == 0          end of the picture
//   c in 1..999     literal: the next c words are pixels, stored in order
//   c >= 1000       run: the next word is a colour covering c - 1000 pixels;
//                   the colour pic_skip leaves those pixels as they are
// Pixels follow plain buffer order: the upper field's lines, then the lower's.
#pragma once

#include "fb/fb.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::uint32_t pic_end = 0;
inline constexpr std::uint32_t pic_literal_max = 999;
inline constexpr std::uint32_t pic_run = 1000;
inline constexpr std::uint32_t pic_skip = 0xFF00FF00;
// The most words a picture of the whole screen can need. No pixel needs more
// than 2: any pixel can be a run of one (a count and a colour) but an opaque
// pixel of the skip colour, which can be a literal of one (a count and the
// pixel). A fully transparent pixel fits in no literal, only in a skip run,
// so a screen of transparent and opaque pixels in turn needs all 2 a pixel.
// Then the end word.
inline constexpr std::size_t pic_max_words = 2 * fb_words + 1;

struct picture_summary {
    bool well_formed = false; // every token whole, the end word the last word
    bool opaque_words = true; // every pixel word has the top byte 0xFF
    std::size_t pixels = 0;
    std::size_t runs = 0;
    std::size_t literals = 0;
    std::size_t skip_runs = 0;
};

// Walks the tokens without painting; usable at compile time.
constexpr picture_summary summarize(std::span<const std::uint32_t> words)
{
    picture_summary s;
    std::size_t t = 0;
    while (t < words.size()) {
        const std::uint32_t c = words[t];
        if (c == pic_end) {
            s.well_formed = t + 1 == words.size();
            return s;
        }
        const std::size_t length = c < pic_run ? std::size_t{c} + 1 : 2;
        if (length > words.size() - t)
            return s;
        if (c < pic_run) {
            for (std::size_t i = 1; i <= c; ++i)
                s.opaque_words = s.opaque_words && words[t + i] >> 24 == 0xFF;
            s.pixels += c;
            ++s.literals;
        } else {
            s.opaque_words = s.opaque_words && words[t + 1] >> 24 == 0xFF;
            s.pixels += c - pic_run;
            ++s.runs;
            s.skip_runs += words[t + 1] == pic_skip;
        }
        t += length;
    }
    return s;
}
