// The painter against a plain copy of one whole frame: the embedded boot
// picture, and every PNG named on the command line (encoded in memory as
// picenc would), each as pic_paint/<name>.
//   paint_bench [benchmark options] [PICTURE.png ...]
#include "fb/fb.hpp"
#include "splash/paint.hpp"
#include "splash/pic.hpp"
#include "tools/picture/encode.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static void paint(benchmark::State& state, const std::vector<std::uint32_t>& words)
{
    std::vector<pixel_t> screen(fb_words);
    for (auto _ : state) {
        (void)_;
        benchmark::DoNotOptimize(pic_paint(words, screen));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fb_bytes));
}

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

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("memcpy", memcpy_frame);
    benchmark::RegisterBenchmark("pic_paint/embedded", paint, std::vector<std::uint32_t>(pic, pic + pic_length));
    for (int i = 1; i < argc; ++i) {
        picture png;
        std::string why;
        const picture_size screen{fb_width, fb_height};
        if (!read_png(argv[i], png, why, &screen)) {
            fprintf(stderr, "paint_bench: %s\n", why.c_str());
            return 1;
        }
        std::string name = argv[i];
        name.erase(0, name.find_last_of('/') + 1);
        name.resize(std::min(name.size(), name.rfind(".png")));
        benchmark::RegisterBenchmark(("pic_paint/" + name).c_str(), paint, encode_picture(screen_order(png, 0)));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
