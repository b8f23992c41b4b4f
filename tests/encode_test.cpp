#include "tools/encode.hpp"
#include "tools/shot.hpp"

#include "splash/paint.hpp"
#include "splash/picture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

constexpr std::uint32_t A = 0xFF112233, B = 0xFF445566, S = pic_skip, K = keep_pixel;
constexpr pixel_t old = 0x00ABCDEF;

// The fewest words for pixels[at..], trying every token sequence.
std::size_t exhaustive(const std::vector<std::uint32_t>& px, std::size_t at)
{
    if (at == px.size())
        return 1; // the end word
    std::size_t best = ~std::size_t{0};
    for (std::size_t end = at + 1; end <= px.size(); ++end) {
        const bool same =
            std::all_of(px.begin() + long(at), px.begin() + long(end), [&](std::uint32_t p) { return p == px[at]; });
        if (same && px[at] != S)
            best = std::min(best, 2 + exhaustive(px, end));
        const bool paintable =
            std::none_of(px.begin() + long(at), px.begin() + long(end), [](std::uint32_t p) { return p == K; });
        if (paintable && end - at <= pic_literal_max)
            best = std::min(best, 1 + (end - at) + exhaustive(px, end));
    }
    return best;
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
            ASSERT_EQ(words.size(), exhaustive(px, 0)) << "code " << code << " length " << length;
            expect_paints(px, words);
        }
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint32_t> px(8 + rng() % 5);
        for (auto& p : px)
            p = alphabet[rng() % 4 == 0 ? rng() % 4 : rng() % 2]; // mostly runs of A and B
        const std::vector<std::uint32_t> words = encode_picture(px);
        ASSERT_EQ(words.size(), exhaustive(px, 0));
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
}

} // namespace
