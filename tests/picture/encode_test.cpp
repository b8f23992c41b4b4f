#include "tools/picture/encode.hpp"
#include "tools/sim/shot.hpp"

#include "splash/paint.hpp"
#include "splash/picture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <png.h>
#include <random>
#include <unistd.h>

namespace {

constexpr std::uint32_t A = 0xFF112233, B = 0xFF445566, S = pic_skip, K = keep_pixel;
constexpr pixel_t old = 0x00ABCDEF;

// The cheapest painting of pixels[at..], trying every token sequence: the
// fewest words, then the fewest tokens.
using words_tokens = std::pair<std::size_t, std::size_t>;
words_tokens exhaustive(const std::vector<std::uint32_t>& px, std::size_t at)
{
    if (at == px.size())
        return {1, 0}; // the end word
    words_tokens best{~std::size_t{0}, 0};
    const auto then = [&](std::size_t words, std::size_t end) {
        const words_tokens rest = exhaustive(px, end);
        best = std::min(best, words_tokens{words + rest.first, 1 + rest.second});
    };
    for (std::size_t end = at + 1; end <= px.size(); ++end) {
        const bool same =
            std::all_of(px.begin() + long(at), px.begin() + long(end), [&](std::uint32_t p) { return p == px[at]; });
        if (same && px[at] != S)
            then(2, end);
        const bool paintable =
            std::none_of(px.begin() + long(at), px.begin() + long(end), [](std::uint32_t p) { return p == K; });
        if (paintable && end - at <= pic_literal_max)
            then(1 + (end - at), end);
    }
    return best;
}

words_tokens measure(const std::vector<std::uint32_t>& words)
{
    const picture_summary s = summarize(words);
    return {words.size(), s.runs + s.literals};
}

// Paints the encoding over an old screen: keep pixels must show the old
// screen, every other pixel its own word.
void expect_paints(const std::vector<std::uint32_t>& px, const std::vector<std::uint32_t>& words)
{
    ASSERT_TRUE(summarize(words).well_formed);
    std::vector<pixel_t> screen(px.size() + 4, old);
    ASSERT_EQ(pic_paint(words, screen), px.size());
    for (std::size_t i = 0; i < px.size(); ++i)
        ASSERT_EQ(screen[i], px[i] == K ? old : px[i]) << "pixel " << i;
    ASSERT_EQ(screen[px.size()], old);
}

TEST(Encode, OptimalAgainstExhaustiveSearch)
{
    const std::uint32_t alphabet[] = {A, B, S, K};
    for (std::size_t length = 0; length <= 6; ++length) {
        std::size_t combos = 1;
        for (std::size_t i = 0; i < length; ++i)
            combos *= 4;
        for (std::size_t code = 0; code < combos; ++code) {
            std::vector<std::uint32_t> px;
            for (std::size_t i = 0, c = code; i < length; ++i, c /= 4)
                px.push_back(alphabet[c % 4]);
            const std::vector<std::uint32_t> words = encode_picture(px);
            ASSERT_EQ(measure(words), exhaustive(px, 0)) << "code " << code << " length " << length;
            expect_paints(px, words);
        }
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint32_t> px(8 + rng() % 5);
        for (auto& p : px)
            p = alphabet[rng() % 4 == 0 ? rng() % 4 : rng() % 2]; // mostly runs of A and B
        const std::vector<std::uint32_t> words = encode_picture(px);
        ASSERT_EQ(measure(words), exhaustive(px, 0));
        expect_paints(px, words);
    }
}

TEST(Encode, LiteralsOf999PixelsAndNoMore)
{
    for (const std::size_t n : {998, 999, 1000}) {
        std::vector<std::uint32_t> px(n);
        for (std::size_t i = 0; i < n; ++i)
            px[i] = 0xFF000000u | std::uint32_t(i);
        const std::vector<std::uint32_t> words = encode_picture(px);
        const picture_summary s = summarize(words);
        EXPECT_EQ(s.literals, n <= 999 ? 1u : 2u) << n << " pixels";
        EXPECT_EQ(s.runs, 0u) << n << " pixels";
        expect_paints(px, words);
    }
}

TEST(Encode, LiteralsStopAt999Words)
{
    std::vector<std::uint32_t> px(2000);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = 0xFF000000u | std::uint32_t(i); // no two neighbours alike
    const std::vector<std::uint32_t> words = encode_picture(px);
    EXPECT_EQ(words.size(), 2000u + 3 + 1); // three literals and the end word
    EXPECT_EQ(words[0], 999u);
    expect_paints(px, words);
}

TEST(Encode, SkipColourNeverInARunAndTransparencyBecomesSkipRuns)
{
    const std::vector<std::uint32_t> px = {S, S, S, S, S, K, K, K, A, A, A};
    const std::vector<std::uint32_t> words = encode_picture(px);
    EXPECT_EQ(words, (std::vector<std::uint32_t>{5, S, S, S, S, S, 1003, pic_skip, 1003, A, 0}));
    expect_paints(px, words);
}

TEST(Encode, LongRunsAreSingleTokens)
{
    const std::vector<std::uint32_t> px(fb_words, A);
    EXPECT_EQ(encode_picture(px), (std::vector<std::uint32_t>{1000 + std::uint32_t(fb_words), A, 0}));
}

// A 720x576 PNG of one kind, written with libpng, and what reading it must
// give: every sample is 8 bits (16 bits cut to their high byte), palettes and
// grey expanded to RGB, tRNS turned into alpha, opaque otherwise.
struct png_kind {
    const char* what;
    int type;
    int depth;
    bool interlaced = false;
    bool trns = false;
};

std::string write_kind(const png_kind& k, std::vector<rgba>& expect)
{
    std::string path = "/tmp/encode_test_" + std::to_string(getpid()) + ".png";
    FILE* f = fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, fb_width, fb_height, k.depth, k.type,
                 k.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const unsigned top = (1u << k.depth) - 1;
    png_color palette[256];
    png_byte alphas[256];
    for (unsigned i = 0; i < 256; ++i) {
        palette[i] = {png_byte(i), png_byte(255 - i), png_byte(i * 3)};
        alphas[i] = png_byte(255 - i);
    }
    png_color_16 trns_colour{};
    trns_colour.red = trns_colour.gray = png_uint_16(5 & top);
    if (k.type == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette, int(top) + 1);
    if (k.trns)
        png_set_tRNS(png, info, alphas, k.type == PNG_COLOR_TYPE_PALETTE ? int(top) + 1 : 0, &trns_colour);
    png_write_info(png, info);
    if (k.depth < 8)
        png_set_packing(png);
    const int channels = png_get_channels(png, info);
    const std::size_t sample_bytes = k.depth == 16 ? 2 : 1;
    std::vector<png_byte> image(std::size_t(fb_words) * channels * sample_bytes);
    std::vector<png_bytep> rows;
    expect.assign(fb_words, rgba{});
    for (std::size_t i = 0; i < fb_words; ++i) {
        const unsigned x = unsigned(i % fb_width), y = unsigned(i / fb_width);
        unsigned v[4] = {};
        for (int c = 0; c < channels; ++c)
            v[c] = (x * (7 + c) + y * 13 + unsigned(c) * 40) & top;
        const auto eight = [&](unsigned value) { return std::uint8_t(k.depth == 16 ? value >> 8 : value * 255 / top); };
        rgba& e = expect[i];
        if (k.type == PNG_COLOR_TYPE_PALETTE) {
            const png_color& p = palette[v[0]];
            e = {p.red, p.green, p.blue, k.trns ? alphas[v[0]] : std::uint8_t(255)};
        } else if (channels <= 2) {
            e = {eight(v[0]), eight(v[0]), eight(v[0]), channels == 2 ? eight(v[1]) : std::uint8_t(255)};
        } else {
            e = {eight(v[0]), eight(v[1]), eight(v[2]), channels == 4 ? eight(v[3]) : std::uint8_t(255)};
        }
        if (k.trns && k.type == PNG_COLOR_TYPE_GRAY && v[0] == trns_colour.gray)
            e.a = 0;
        for (int c = 0; c < channels; ++c) {
            png_byte* at = image.data() + (i * channels + c) * sample_bytes;
            if (sample_bytes == 2)
                at[0] = png_byte(v[c] >> 8), at[1] = png_byte(v[c]);
            else
                at[0] = png_byte(v[c]);
        }
    }
    rows.reserve(fb_height);
    for (int y = 0; y < fb_height; ++y)
        rows.push_back(image.data() + std::size_t(y) * fb_width * channels * sample_bytes);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return path;
}

TEST(ReadPng, EveryKindOfPng)
{
    const png_kind kinds[] = {
        {"grey 1 bit", PNG_COLOR_TYPE_GRAY, 1},
        {"grey 2 bits", PNG_COLOR_TYPE_GRAY, 2},
        {"grey 4 bits", PNG_COLOR_TYPE_GRAY, 4},
        {"grey 8 bits with a transparent grey", PNG_COLOR_TYPE_GRAY, 8, false, true},
        {"grey 16 bits", PNG_COLOR_TYPE_GRAY, 16},
        {"grey and alpha 8 bits", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {"grey and alpha 16 bits", PNG_COLOR_TYPE_GRAY_ALPHA, 16},
        {"palette 4 bits", PNG_COLOR_TYPE_PALETTE, 4},
        {"palette 8 bits with tRNS", PNG_COLOR_TYPE_PALETTE, 8, false, true},
        {"RGB 8 bits", PNG_COLOR_TYPE_RGB, 8},
        {"RGB 16 bits", PNG_COLOR_TYPE_RGB, 16},
        {"RGBA 8 bits, interlaced", PNG_COLOR_TYPE_RGBA, 8, true},
        {"RGBA 16 bits", PNG_COLOR_TYPE_RGBA, 16},
        {"palette 8 bits, interlaced", PNG_COLOR_TYPE_PALETTE, 8, true},
    };
    for (const png_kind& k : kinds) {
        SCOPED_TRACE(k.what);
        std::vector<rgba> expect;
        const std::string path = write_kind(k, expect);
        picture got;
        std::string why;
        const picture_size screen{fb_width, fb_height};
        ASSERT_TRUE(read_png(path.c_str(), got, why, &screen)) << why;
        unlink(path.c_str());
        for (std::size_t i = 0; i < fb_words; ++i)
            ASSERT_EQ(got.pixels[i], expect[i]) << "pixel " << i;
    }
}

// Fully transparent pixels are kept, opaque ones painted as they are, partly
// transparent ones blended over the background colour, rounded.
TEST(ScreenOrder, AlphaRule)
{
    picture png{fb_width, fb_height, std::vector<rgba>(fb_words, rgba{10, 20, 30, 255})};
    png.pixels[0] = {200, 100, 0, 0};
    png.pixels[1] = {255, 0, 100, 128};
    png.pixels[fb_width] = {0, 0, 0, 1}; // display line 1: the lower field's first line
    EXPECT_EQ(partly_transparent(png), 2u);
    const std::vector<std::uint32_t> words = screen_order(png, 0x204060);
    EXPECT_EQ(words[0], keep_pixel);
    EXPECT_EQ(words[1], 0xFF000000u | 0x90u << 16 | 0x20u << 8 | 0x62u);
    EXPECT_EQ(words[field_words], 0xFF204060u); // all but the background
    EXPECT_EQ(words[2], 0xFF0A141Eu);
}

// PNG -> encoder -> painter -> screenshot gives back the PNG's pixels, for the
// boot picture and for a picture whose transparent parts show the old screen.
TEST(RoundTrip, PngThroughPainterAndScreenshot)
{
    picture png;
    std::string why;
    ASSERT_TRUE(read_png(RX_SOURCE_DIR "/splash/splash.png", png, why)) << why;
    picture holes = png;
    for (std::size_t i = 0; i < holes.pixels.size(); i += 7)
        holes.pixels[i].a = 0;
    for (const picture* p : {&png, &holes}) {
        std::vector<pixel_t> screen(fb_words, 0xFF000000u | old);
        ASSERT_EQ(pic_paint(encode_picture(screen_order(*p)), screen), fb_words);
        const picture shot =
            screen_picture({reinterpret_cast<const std::uint8_t*>(screen.data()), fb_bytes}, byte_order::native);
        for (std::size_t i = 0; i < fb_words; ++i) {
            rgba want = p->pixels[i];
            if (want.a == 0)
                want = rgba{0xAB, 0xCD, 0xEF, 0};
            want.a = 0xFF;
            ASSERT_EQ(shot.pixels[i], want) << "pixel " << i;
        }
    }
}

TEST(Screenshot, FieldsWovenAndByteOrderAsAsked)
{
    std::vector<std::uint8_t> fb(fb_bytes, 0);
    const std::uint8_t be_red[] = {0xFF, 0xFF, 0x00, 0x00};
    std::copy(be_red, be_red + 4, fb.begin());                       // upper field, line 0
    std::copy(be_red, be_red + 4, fb.begin() + field_words * 4 + 4); // lower field, line 0, x 1
    const picture big = screen_picture(fb, byte_order::big);
    EXPECT_EQ(big.pixels[0], (rgba{0xFF, 0, 0, 0xFF}));
    EXPECT_EQ(big.pixels[fb_width + 1], (rgba{0xFF, 0, 0, 0xFF})); // display line 1
    EXPECT_EQ(big.pixels[1], (rgba{0, 0, 0, 0xFF}));
    const picture little = screen_picture(fb, byte_order::little);
    EXPECT_EQ(little.pixels[0], (rgba{0, 0xFF, 0xFF, 0xFF}));
    // The whole word, its top byte too, as the header says.
    const std::uint8_t word[] = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(load_word(word, byte_order::big), 0x11223344u);
    EXPECT_EQ(load_word(word, byte_order::little), 0x44332211u);
    std::uint32_t stored;
    std::memcpy(&stored, word, 4);
    EXPECT_EQ(load_word(word, byte_order::native), stored);
}

// The byte order told from the pixel words' top byte 0xFF: big where the
// words begin with it, little where they end with it (even when a colour
// byte is 0xFF too), native where nothing tells.
TEST(Screenshot, ByteOrderToldByTheTopByte)
{
    std::vector<std::uint8_t> fb(fb_bytes, 0);
    EXPECT_EQ(guess_order(fb), byte_order::native);
    for (std::size_t i = 0; i < fb_bytes; i += 4)
        fb[i] = 0xFF, fb[i + 1] = 0x40; // 0xFF40.... big-endian
    EXPECT_EQ(guess_order(fb), byte_order::big);
    std::fill(fb.begin(), fb.end(), 0);
    for (std::size_t i = 0; i < fb_bytes; i += 4)
        fb[i + 3] = 0xFF, fb[i] = i % 8 == 0 ? 0xFF : 0x10; // blue 0xFF in half the words
    EXPECT_EQ(guess_order(fb), byte_order::little);
    for (std::size_t i = 0; i < fb_bytes; i += 4)
        fb[i] = 0xFF, fb[i + 3] = i % 8 == 0 ? 0xFF : 0x10; // and big-endian, blue 0xFF in half
    EXPECT_EQ(guess_order(fb), byte_order::big);
    // A program's run is counted whole; bytes short of a word at the end are no word.
    std::vector<std::uint8_t> run(36);
    for (std::size_t i = 0; i < run.size(); i += 4)
        run[i] = 0xFF, run[i + 1] = 0x40;
    EXPECT_EQ(count_drawn({run.data(), 35}).big, 8u);
    EXPECT_EQ(count_orders({run.data(), 35}).big, 8u);
    EXPECT_EQ(count_drawn({run.data(), 28}).big, 0u);
}

} // namespace
