#include "shot.hpp"

#include "fb/fb.hpp"

#include <bit>
#include <cstring>

std::uint32_t load_word(const std::uint8_t* bytes, byte_order order)
{
    if (order == byte_order::native)
        order = std::endian::native == std::endian::little ? byte_order::little : byte_order::big;
    if (order == byte_order::little)
        return std::uint32_t{bytes[3]} << 24 | std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[1]} << 8 | bytes[0];
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

order_counts count_orders(std::span<const std::uint8_t> fb)
{
    order_counts c;
    for (std::size_t i = 0; i + 4 <= fb.size(); i += 4) {
        c.big += fb[i] == 0xFF && fb[i + 3] != 0xFF;
        c.little += fb[i + 3] == 0xFF && fb[i] != 0xFF;
    }
    return c;
}

order_counts count_drawn(std::span<const std::uint8_t> fb)
{
    order_counts drawn;
    byte_order run = byte_order::native; // native: no run under way
    std::size_t telling = 0;             // the run's words that tell its order
    const auto end_run = [&] {
        if (telling >= drawn_run)
            (run == byte_order::big ? drawn.big : drawn.little) += telling;
        run = byte_order::native;
        telling = 0;
    };
    for (std::size_t i = 0; i + 4 <= fb.size(); i += 4) {
        const bool first = fb[i] == 0xFF, last = fb[i + 3] == 0xFF;
        if (first && last)
            continue; // tells nothing, ends nothing
        const byte_order word = first ? byte_order::big : last ? byte_order::little : byte_order::native;
        if (word != run)
            end_run();
        run = word;
        telling += word != byte_order::native;
    }
    end_run();
    return drawn;
}

byte_order guess_order(std::span<const std::uint8_t> fb)
{
    const order_counts c = count_orders(fb);
    return c.big > c.little ? byte_order::big : c.little > c.big ? byte_order::little : byte_order::native;
}

picture screen_picture(std::span<const std::uint8_t> fb, byte_order order, line_order lines)
{
    picture pic;
    pic.width = fb_width;
    pic.height = fb_height;
    pic.pixels.resize(fb_words);
    for (int line = 0; line < fb_height; ++line) {
        const int from = lines == line_order::woven ? buffer_line(line) : line;
        const std::uint8_t* src = fb.data() + std::size_t(from) * fb_width * sizeof(pixel_t);
        rgba* dst = pic.pixels.data() + std::size_t(line) * fb_width;
        for (std::size_t x = 0; x < std::size_t{fb_width}; ++x) {
            const std::uint32_t w = load_word(src + 4 * x, order);
            dst[x] = rgba{std::uint8_t(w >> 16), std::uint8_t(w >> 8), std::uint8_t(w), 0xFF};
        }
    }
    return pic;
}
