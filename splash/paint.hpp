// Painting a run-length picture straight into the screen.
#pragma once

#include "fb/fb.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

// Decodes the picture into the screen from its first word. A token that would
// read past the picture or write past the screen stops the painting there.
// Returns the number of pixels the painted tokens covered. may_skip false
// is for a picture known to hold no skip run (the embedded one is known at
// build time): its runs' colours are then stored without a test, and a
// skip run, short or long, would be painted in the skip colour.
std::size_t pic_paint(std::span<const std::uint32_t> picture, std::span<pixel_t> screen, bool may_skip = true);
