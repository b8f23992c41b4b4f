// Painting a run-length picture straight into the screen.
#pragma once

#include "fb/fb.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

// Decodes the picture into the screen from its first word. A token that would
// read past the picture or write past the screen stops the painting there.
// Returns the number of pixels the painted tokens covered.
std::size_t pic_paint(std::span<const std::uint32_t> picture, std::span<pixel_t> screen);
