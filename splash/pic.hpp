// The boot picture carried inside splash, in the run-length format.
#pragma once

#include <cstddef>
#include <cstdint>

extern const std::uint32_t pic[];
extern const std::size_t pic_length; // in words, end word included
extern const bool pic_skips;         // it holds skip runs
