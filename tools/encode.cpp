#include "encode.hpp"

#include "fb/fb.hpp"
#include "splash/picture.hpp"

#include <cstdio>
#include <deque>

std::vector<std::uint32_t> screen_order(const picture& png)
{
    std::vector<std::uint32_t> words(fb_words);
    for (int line = 0; line < fb_height; ++line) {
        for (int x = 0; x < fb_width; ++x) {
            const rgba& p = png.pixels[std::size_t(line) * fb_width + x];
            words[std::size_t(buffer_line(line)) * fb_width + x] =
                p.a == 0 ? keep_pixel : 0xFF000000u | std::uint32_t{p.r} << 16 | std::uint32_t{p.g} << 8 | p.b;
        }
    }
    return words;
}

namespace {

// An opaque pixel whose word is the skip colour must never be in a run: the
// painter would leave it out. It can only go into a literal.
bool runnable(std::uint32_t p) { return p != pic_skip; }
bool literal_ok(std::uint32_t p) { return p != keep_pixel; }

struct step {
    bool run = false;
    std::size_t from = 0; // the token covers pixels from .. i-1
};

} // namespace

// cost[i] is the fewest words that paint the first i pixels. It never falls
// as i grows (dropping a last pixel never lengthens a token sequence), so the
// best run ending at i starts where the block of equal pixels starts, and the
// best literal comes from a sliding-window minimum of cost[j] - j.
std::vector<std::uint32_t> encode_picture(std::span<const std::uint32_t> pixels)
{
    const std::size_t n = pixels.size();
    constexpr std::size_t none = ~std::size_t{0};
    std::vector<std::size_t> cost(n + 1, none);
    std::vector<step> how(n + 1);
    std::deque<std::size_t> window; // literal starts j, cost[j] - j increasing
    cost[0] = 0;
    std::size_t block = 0; // where the block of equal pixels ending at i-1 starts
    for (std::size_t i = 1; i <= n; ++i) {
        const std::uint32_t p = pixels[i - 1];
        if (i >= 2 && pixels[i - 2] != p)
            block = i - 1;
        if (runnable(p)) {
            cost[i] = cost[block] + 2;
            how[i] = {true, block};
        }
        if (!literal_ok(p)) {
            window.clear();
            continue;
        }
        const std::size_t j = i - 1;
        const auto key = [&](std::size_t k) { return std::ptrdiff_t(cost[k]) - std::ptrdiff_t(k); };
        while (!window.empty() && key(window.back()) >= key(j))
            window.pop_back();
        window.push_back(j);
        while (window.front() + pic_literal_max < i)
            window.pop_front();
        const std::size_t from = window.front();
        const std::size_t literal = cost[from] + (i - from) + 1;
        if (literal < cost[i]) {
            cost[i] = literal;
            how[i] = {false, from};
        }
    }

    std::vector<std::size_t> ends;
    for (std::size_t i = n; i > 0; i = how[i].from)
        ends.push_back(i);
    std::vector<std::uint32_t> words;
    words.reserve(cost[n] + 1);
    for (auto e = ends.rbegin(); e != ends.rend(); ++e) {
        const std::size_t from = how[*e].from;
        const auto count = static_cast<std::uint32_t>(*e - from);
        if (how[*e].run) {
            words.push_back(pic_run + count);
            words.push_back(pixels[from] == keep_pixel ? pic_skip : pixels[from]);
        } else {
            words.push_back(count);
            words.insert(words.end(), pixels.begin() + std::ptrdiff_t(from), pixels.begin() + std::ptrdiff_t(*e));
        }
    }
    words.push_back(pic_end);
    return words;
}

std::string generated_source(std::span<const std::uint32_t> words, const std::string& png_path)
{
    std::string s = "// Generated from " + png_path +
                    " by tools/picenc; do not edit. To regenerate:\n"
                    "//   build/native/tools/picenc " +
                    png_path +
                    " splash/pic_data.cpp\n"
                    "#include \"splash/pic.hpp\"\n"
                    "#include \"splash/picture.hpp\"\n\n"
                    "// clang-format off\n"
                    "constexpr std::uint32_t pic[] = {\n";
    char word[16];
    for (std::size_t i = 0; i < words.size(); ++i) {
        snprintf(word, sizeof word, "0x%08x,", words[i]);
        s += (i % 8 == 0 ? "    " : " ");
        s += word;
        if (i % 8 == 7 || i + 1 == words.size())
            s += '\n';
    }
    s += "};\n"
         "// clang-format on\n"
         "constexpr std::size_t pic_length = sizeof pic / sizeof pic[0];\n\n"
         "// The picture must fill the screen exactly, with pixel words only, and end with its end word.\n"
         "static_assert(summarize(pic).well_formed);\n"
         "static_assert(summarize(pic).opaque_words);\n"
         "static_assert(summarize(pic).pixels == 414720);\n";
    return s;
}
