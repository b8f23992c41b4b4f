// The progress bar: a fixed horizontal bar that fills left to right with the
// units done out of a fixed total. Every pixel goes into both fields.
#pragma once

#include "fb/fb.hpp"

#include <cstdint>

extern std::int32_t prog_x1;      // leftmost column
extern std::int32_t prog_x2;      // first column right of the proportional part; the cap follows
extern std::int32_t prog_y1;      // top field line
extern std::int32_t prog_y2;      // first field line below the bar
extern std::int32_t prog_total;   // units that fill the proportional part
extern std::int32_t prog_current; // units done so far
extern pixel_t prog_bg;           // background, light grey
extern pixel_t prog_fg;           // foreground, dark grey

inline constexpr std::int32_t cap_width = 5; // end cap: columns prog_x2 .. prog_x2 + 4

extern pixel_t* fb_mem; // the screen the bar draws into

// Column where the filled part ends for a given count of units.
std::int32_t bar_edge(std::int32_t units);

void fb_pixel(std::int32_t x, std::int32_t y, pixel_t colour);
void vbar(std::int32_t x, std::int32_t first, std::int32_t end, pixel_t colour);
void clear_pbar();
void progress(std::int32_t n);
