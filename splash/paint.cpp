#include "paint.hpp"

#include "picture.hpp"

#include <algorithm>
#include <cstring>

namespace {

// Short tokens are common in photos and gradients. They are painted with no
// loop and no library call: two copies of a fixed size w, one from the
// token's start and one ending at its end, which overlap so that together
// they cover exactly its n pixels for any n from w to 2w.
template <std::uint32_t w>
inline void copy_overlapping(pixel_t* d, const std::uint32_t* s, std::uint32_t n)
{
    std::memcpy(d, s, w * sizeof(pixel_t));
    std::memcpy(d + n - w, s + n - w, w * sizeof(pixel_t));
}

inline void copy_pixels(pixel_t* d, const std::uint32_t* s, std::uint32_t n)
{
    if (n <= 4) {
        if (n >= 2)
            copy_overlapping<2>(d, s, n);
        else if (n == 1)
            d[0] = s[0];
    } else if (n <= 8) {
        copy_overlapping<4>(d, s, n);
    } else if (n <= 16) {
        copy_overlapping<8>(d, s, n);
    } else {
        std::memcpy(d, s, n * sizeof(pixel_t));
    }
}

// The same for a run: the stores take a block of its colour.
using block2 = pixel_t __attribute__((vector_size(2 * sizeof(pixel_t))));
using block4 = pixel_t __attribute__((vector_size(4 * sizeof(pixel_t))));
using block8 = pixel_t __attribute__((vector_size(8 * sizeof(pixel_t))));

template <typename block>
inline void fill_overlapping(pixel_t* d, pixel_t colour, std::uint32_t n)
{
    constexpr std::uint32_t w = sizeof(block) / sizeof(pixel_t);
    static_assert(w >= 2);
    block same = {};
    same += colour;
    std::memcpy(d, &same, sizeof same);
    std::memcpy(d + n - w, &same, sizeof same);
}

inline void fill_pixels(pixel_t* d, pixel_t colour, std::uint32_t n)
{
    if (n <= 4) {
        if (n >= 2)
            fill_overlapping<block2>(d, colour, n);
        else if (n == 1)
            d[0] = colour;
    } else if (n <= 8) {
        fill_overlapping<block4>(d, colour, n);
    } else if (n <= 16) {
        fill_overlapping<block8>(d, colour, n);
    } else {
        std::fill_n(d, n, colour);
    }
}

} // namespace

// Bounds are checked once per token, so the work inside stays plain copies
// and fills. Runs, the most common token, come first and always move on by
// two words, which the processor can follow ahead of the loads; the end word
// is looked for only where a run is not.
std::size_t pic_paint(std::span<const std::uint32_t> picture, std::span<pixel_t> screen)
{
    const std::uint32_t* t = picture.data();
    const std::uint32_t* const t_end = t + picture.size();
    pixel_t* d = screen.data();
    std::size_t left = screen.size(); // pixels the screen has after d

    while (t < t_end) {
        const std::uint32_t c = *t;
        if (c >= pic_run) {
            const std::uint32_t n = c - pic_run;
            if (t_end - t < 2 || n > left)
                break;
            if (t[1] != pic_skip)
                fill_pixels(d, t[1], n);
            d += n;
            left -= n;
            t += 2;
        } else if (c != pic_end) {
            if (c >= static_cast<std::size_t>(t_end - t) || c > left)
                break;
            copy_pixels(d, t + 1, c);
            d += c;
            left -= c;
            t += c + 1;
        } else {
            break;
        }
    }
    return static_cast<std::size_t>(d - screen.data());
}
