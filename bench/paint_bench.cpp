// The boot picture's painter against a plain copy of one whole frame.
#include "fb/fb.hpp"
#include "splash/paint.hpp"
#include "splash/pic.hpp"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

static void pic_paint_embedded(benchmark::State& state)
{
    std::vector<pixel_t> screen(fb_words);
    for (auto _ : state) {
        (void)_;
        benchmark::DoNotOptimize(pic_paint({pic, pic_length}, screen));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fb_bytes));
}
BENCHMARK(pic_paint_embedded);

static void memcpy_frame(benchmark::State& state)
{
    std::vector<pixel_t> from(fb_words, 0xFF000000), screen(fb_words);
    for (auto _ : state) {
        (void)_;
        std::memcpy(screen.data(), from.data(), fb_bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fb_bytes));
}
BENCHMARK(memcpy_frame);

BENCHMARK_MAIN();
