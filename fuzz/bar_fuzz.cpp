// Arbitrary step sequences on the progress bar: after every step the filled
// part ends exactly where the unit count puts it, and nothing outside the bar
// ever changes.
#include "runbar/bar.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr pixel_t untouched = 0x13579BDF;

// Checks the bar's lines and the lines around them, in both fields.
void check_bar(const std::vector<pixel_t>& screen, std::int32_t edge, bool cleared)
{
    for (int field = 0; field < 2; ++field) {
        for (int y = prog_y1 - 1; y <= prog_y2; ++y) {
            const pixel_t* line = screen.data() + field * field_words + std::size_t(y) * fb_width;
            for (int x = 0; x < fb_width; ++x) {
                const bool in_bar = y >= prog_y1 && y < prog_y2;
                pixel_t want = untouched;
                if (in_bar && x >= prog_x1 && x < edge)
                    want = prog_fg;
                else if (in_bar && cleared && x >= edge && x < prog_x2 + cap_width)
                    want = prog_bg;
                if (line[x] != want)
                    abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static std::vector<pixel_t> screen(fb_words, untouched);
    static const std::vector<pixel_t> blank(fb_words, untouched);
    fb_mem = screen.data();
    prog_current = 0;
    const bool cleared = (data[0] & 1) != 0;
    if (cleared)
        clear_pbar();

    std::int64_t units = 0;
    for (std::size_t at = 1; at + 4 <= size; at += 4) {
        std::uint32_t raw;
        memcpy(&raw, data + at, 4);
        // Mostly small steps as runbar takes them, now and then a huge one.
        const auto step = static_cast<std::int32_t>((raw & 0x80000000u) != 0 ? raw & 0x7FFFFFFF : raw % 2000);
        progress(step);
        units = std::min<std::int64_t>(units + step, prog_total);
        if (prog_current != units)
            abort();
        check_bar(screen, prog_x1 + static_cast<std::int32_t>((prog_x2 - prog_x1) * units / prog_total), cleared);
    }
    // And once for the whole screen: only the bar's lines may differ. Then
    // the bar's lines are blanked again for the next input.
    const std::size_t bar_start = std::size_t(prog_y1) * fb_width;
    const std::size_t bar_end = std::size_t(prog_y2) * fb_width;
    for (std::size_t field = 0; field < fb_words; field += field_words) {
        if (memcmp(&screen[field], &blank[field], bar_start * sizeof(pixel_t)) != 0 ||
            memcmp(&screen[field + bar_end], &blank[field + bar_end], (field_words - bar_end) * sizeof(pixel_t)) != 0)
            abort();
        std::fill(&screen[field + bar_start], &screen[field + bar_end], untouched);
    }
    return 0;
}
