#include "encode.hpp"

#include "fb/fb.hpp"
#include "splash/picture.hpp"

#include "splash/paint.hpp"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string_view>
#include <utility>

std::size_t partly_transparent(const picture& png)
{
    return std::size_t(
        std::count_if(png.pixels.begin(), png.pixels.end(), [](const rgba& p) { return p.a != 0 && p.a != 255; }));
}

// A colour channel of p laid over the background's with p's alpha, rounded.
static std::uint32_t over(std::uint8_t c, std::uint8_t a, std::uint32_t background)
{
    return (std::uint32_t{c} * a + background * (255u - a) + 127u) / 255u;
}

std::vector<std::uint32_t> screen_order(const picture& png, std::uint32_t background)
{
    std::vector<std::uint32_t> words(fb_words);
    for (int line = 0; line < fb_height; ++line) {
        for (int x = 0; x < fb_width; ++x) {
            const rgba& p = png.pixels[std::size_t(line) * fb_width + x];
            const std::uint32_t r = over(p.r, p.a, background >> 16 & 0xFF);
            const std::uint32_t g = over(p.g, p.a, background >> 8 & 0xFF);
            const std::uint32_t b = over(p.b, p.a, background & 0xFF);
            words[std::size_t(buffer_line(line)) * fb_width + x] =
                p.a == 0 ? keep_pixel : 0xFF000000u | r << 16 | g << 8 | b;
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

// The cost of painting a prefix: fewest words first, then fewest tokens
// (a token costs the painter more than a word does).
struct cost_t {
    std::size_t words = 0;
    std::size_t tokens = 0;
    // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 misreads the synthesized comparison
    auto operator<=>(const cost_t&) const = default;
};

// cost[i] is the cheapest way to paint the first i pixels. It never falls as
// i grows (dropping a last pixel never adds a word or a token), so the best
// run ending at i starts where the block of equal pixels starts, and the best
// literal comes from a sliding-window minimum of cost[j] less j words. On a
// tie the literal is taken: the painter copies it in one go.
std::vector<std::uint32_t> encode_picture(std::span<const std::uint32_t> pixels)
{
    const std::size_t n = pixels.size();
    constexpr cost_t none{~std::size_t{0}, 0};
    std::vector<cost_t> cost(n + 1, none);
    std::vector<step> how(n + 1);
    std::deque<std::size_t> window; // literal starts j, key(j) increasing
    const auto key = [&](std::size_t j) {
        return std::pair{std::ptrdiff_t(cost[j].words) - std::ptrdiff_t(j), cost[j].tokens};
    };
    cost[0] = {};
    std::size_t block = 0; // where the block of equal pixels ending at i-1 starts
    for (std::size_t i = 1; i <= n; ++i) {
        const std::uint32_t p = pixels[i - 1];
        if (i >= 2 && pixels[i - 2] != p)
            block = i - 1;
        if (runnable(p)) {
            cost[i] = {cost[block].words + 2, cost[block].tokens + 1};
            how[i] = {true, block};
        }
        if (!literal_ok(p)) {
            window.clear();
            continue;
        }
        const std::size_t j = i - 1;
        while (!window.empty() && key(window.back()) >= key(j))
            window.pop_back();
        window.push_back(j);
        while (window.front() + pic_literal_max < i)
            window.pop_front();
        const std::size_t from = window.front();
        const cost_t literal{cost[from].words + (i - from) + 1, cost[from].tokens + 1};
        if (literal <= cost[i]) {
            cost[i] = literal;
            how[i] = {false, from};
        }
    }

    std::vector<std::size_t> ends;
    for (std::size_t i = n; i > 0; i = how[i].from)
        ends.push_back(i);
    std::vector<std::uint32_t> words;
    words.reserve(cost[n].words + 1);
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

bool verify_encoding(std::span<const std::uint32_t> words, std::span<const std::uint32_t> pixels, std::string& why)
{
    if (words.size() > pic_max_words) {
        why = "the encoding takes " + std::to_string(words.size()) + " words, more than the " +
              std::to_string(pic_max_words) + " any picture of the screen can need";
        return false;
    }
    const picture_summary sum = summarize(words);
    if (!sum.well_formed || !sum.opaque_words || sum.pixels != pixels.size()) {
        why = "the encoding is not a whole picture of pixel words";
        return false;
    }
    // Painted over a screen that holds a value no pixel word has, the kept
    // pixels must show it and every other pixel its own word.
    constexpr pixel_t before = 0x00ABCDEF;
    std::vector<pixel_t> screen(pixels.size(), before);
    if (pic_paint(words, screen) != pixels.size()) {
        why = "the encoding does not paint every pixel";
        return false;
    }
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (screen[i] != (pixels[i] == keep_pixel ? before : pixels[i])) {
            why = "pixel " + std::to_string(i) + " is painted wrongly";
            return false;
        }
    }
    return true;
}

// A path as a shell word: quoted unless it is plain.
static std::string shell_word(const char* path)
{
    const std::string_view p = path;
    if (!p.empty() && p.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./-+,") ==
                          std::string_view::npos)
        return std::string(p);
    std::string quoted = "'";
    for (const char c : p)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string generated_source(std::span<const std::uint32_t> words, const std::string& options, const char* in_path,
                             const char* out_path)
{
    std::string s = "// Generated from " + std::string(in_path) +
                    " by picenc, which checked that it paints that\n"
                    "// picture; do not edit. To regenerate (the test pic_in_sync runs this\n"
                    "// line for splash/pic_data.cpp):\n"
                    "//   build/native/tools/picenc " +
                    (options.empty() ? "" : options + " ") + shell_word(in_path) + " " + shell_word(out_path) +
                    "\n"
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
    const bool skips = summarize(words).skip_runs > 0;
    s += "};\n"
         "// clang-format on\n"
         "constexpr std::size_t pic_length = sizeof pic / sizeof pic[0];\n"
         "// Whether it holds skip runs, which the painter must then look for.\n"
         "constexpr bool pic_skips = ";
    s += skips ? "true;\n\n" : "false;\n\n";
    s += "// Cheap checks here; the whole walk is picenc's and the painter test's.\n"
         "static_assert(pic[pic_length - 1] == pic_end, \"the picture ends with its end word\");\n"
         "static_assert(pic_length <= pic_max_words, \"no picture of the screen's size needs more words\");\n";
    return s;
}
