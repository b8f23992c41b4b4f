#include "bar.hpp"

#include <cstddef>

std::int32_t prog_x1 = 180;
std::int32_t prog_x2 = 500;
std::int32_t prog_y1 = 100;
std::int32_t prog_y2 = 110;
std::int32_t prog_total = 1000;
std::int32_t prog_current = 0;
pixel_t prog_bg = 0xFFC0C0C0;
pixel_t prog_fg = 0xFF404040;

pixel_t* fb_mem = nullptr;

std::int32_t bar_edge(std::int32_t units)
{
    const std::int32_t width = prog_x2 - prog_x1;
    const std::int64_t quotient = std::int64_t{width} * units / prog_total;
    return prog_x1 + static_cast<std::int32_t>(quotient);
}

void fb_pixel(std::int32_t x, std::int32_t y, pixel_t colour)
{
    const std::ptrdiff_t at = std::ptrdiff_t{y} * fb_width + x;
    fb_mem[at] = colour;
    fb_mem[at + static_cast<std::ptrdiff_t>(field_words)] = colour;
}

void vbar(std::int32_t x, std::int32_t first, std::int32_t end, pixel_t colour)
{
    for (std::int32_t y = first; y < end; ++y)
        fb_pixel(x, y, colour);
}

void clear_pbar()
{
    for (std::int32_t x = prog_x1; x <= prog_x2 + cap_width - 1; ++x)
        vbar(x, prog_y1, prog_y2, prog_bg);
}

void progress(std::int32_t n)
{
    const std::int32_t old_edge = bar_edge(prog_current);
    // Summed in 64 bits so a large step cannot overflow before the clamp.
    std::int64_t units = std::int64_t{prog_current} + n;
    if (units > prog_total)
        units = prog_total;
    prog_current = static_cast<std::int32_t>(units);
    const std::int32_t new_edge = bar_edge(prog_current);
    for (std::int32_t x = old_edge; x < new_edge; ++x)
        vbar(x, prog_y1, prog_y2, prog_fg);
}
