#include "paint.hpp"

#include "picture.hpp"

#include <algorithm>
#include <cstring>

// Bounds are checked once per token, so the loops inside stay plain copies and fills.
std::size_t pic_paint(std::span<const std::uint32_t> picture, std::span<pixel_t> screen)
{
    const std::uint32_t* t = picture.data();
    const std::uint32_t* const t_end = t + picture.size();
    pixel_t* d = screen.data();
    pixel_t* const d_end = d + screen.size();

    while (t < t_end && *t != pic_end) {
        const std::uint32_t c = *t;
        if (c < pic_run) {
            if (c >= static_cast<std::size_t>(t_end - t) || c > static_cast<std::size_t>(d_end - d))
                break;
            std::memcpy(d, t + 1, c * sizeof(pixel_t));
            d += c;
            t += c + 1;
        } else {
            const std::uint32_t n = c - pic_run;
            if (t_end - t < 2 || n > static_cast<std::size_t>(d_end - d))
                break;
            if (t[1] != pic_skip)
                std::fill_n(d, n, t[1]);
            d += n;
            t += 2;
        }
    }
    return static_cast<std::size_t>(d - screen.data());
}
