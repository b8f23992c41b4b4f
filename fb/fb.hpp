// The receiver's frame buffer: one 720x576 interlaced picture held as its two
// fields one after the other, one native 32-bit word per pixel.
#pragma once

#include <cstddef>
#include <cstdint>

using pixel_t = std::uint32_t;

inline constexpr const char* fb_path = "/dev/fb0";

inline constexpr int fb_width = 720;  // pixels per line
inline constexpr int fb_height = 576; // buffer lines, both fields
inline constexpr int field_lines = fb_height / 2;
inline constexpr std::size_t fb_words = std::size_t{fb_width} * fb_height;      // 414,720
inline constexpr std::size_t fb_bytes = fb_words * sizeof(pixel_t);             // 1,658,880
inline constexpr std::size_t field_words = std::size_t{fb_width} * field_lines; // 207,360

static_assert(fb_bytes == 0x195000);

// Opens the device read-write and close-on-exec, so no command started later
// inherits a writable handle on the screen. The result is handed on unexamined.
int fb_open();

// Maps the first fb_bytes of the device opened by fb_open. When that is not
// possible it prints the "mmap" report and ends the process with status 1.
pixel_t* fb_map(int fd);

// Which buffer line the viewer sees on a display line: the upper half's field
// on the even display lines, the lower half's on the odd ones.
constexpr int buffer_line(int display_line)
{
    return display_line % 2 == 0 ? display_line / 2 : field_lines + display_line / 2;
}
