#include "splash/paint.hpp"
#include "splash/pic.hpp"
#include "splash/picture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr pixel_t old = 0x01020304; // what the screen held before
constexpr pixel_t red = 0xFFFF0000;
constexpr pixel_t blue = 0xFF0000FF;

struct Screen {
    std::vector<pixel_t> words = std::vector<pixel_t>(fb_words, old);
    std::size_t paint(const std::vector<std::uint32_t>& picture) { return pic_paint(picture, words); }
    std::size_t count(pixel_t p) const { return std::size_t(std::count(words.begin(), words.end(), p)); }
};

// A picture's words placed just before a page that may not be read.
class PageEnd {
    std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    void* pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);

  public:
    std::span<const std::uint32_t> words;
    explicit PageEnd(std::initializer_list<std::uint32_t> picture)
    {
        auto* const at = static_cast<std::uint32_t*>(pages) + page / 4 - picture.size();
        if (pages == MAP_FAILED || mprotect(static_cast<char*>(pages) + page, page, PROT_NONE) != 0)
            std::abort();
        std::copy(picture.begin(), picture.end(), at);
        words = {at, picture.size()};
    }
    PageEnd(const PageEnd&) = delete;
    PageEnd& operator=(const PageEnd&) = delete;
    ~PageEnd() { munmap(pages, 2 * page); }
};

TEST(Paint, EndWordFirstPaintsNothing)
{
    Screen s;
    EXPECT_EQ(s.paint({0, 1001, red}), 0u);
    EXPECT_EQ(s.count(old), fb_words);
}

TEST(Paint, CountBoundaryBetweenLiteralsAndRuns)
{
    Screen s;
    std::vector<std::uint32_t> literal999{999};
    literal999.insert(literal999.end(), 999, blue);
    literal999.push_back(0);
    EXPECT_EQ(s.paint(literal999), 999u);
    EXPECT_EQ(s.count(blue), 999u);

    Screen r;
    EXPECT_EQ(r.paint({1000, red, 1002, blue, 0}), 2u); // a run of 1000 covers no pixel
    EXPECT_EQ(r.words[0], blue);
    EXPECT_EQ(r.words[1], blue);
    EXPECT_EQ(r.words[2], old);
    EXPECT_EQ(r.count(red), 0u);
}

TEST(Paint, SkipRunsLeaveTheScreenAndMoveOn)
{
    Screen s;
    EXPECT_EQ(s.paint({1003, pic_skip, 1002, red, 0}), 5u);
    EXPECT_EQ(s.words[0], old);
    EXPECT_EQ(s.words[2], old);
    EXPECT_EQ(s.words[3], red);
    EXPECT_EQ(s.words[4], red);
    EXPECT_EQ(s.words[5], old);
}

TEST(Paint, LiteralStoresTheSkipColour)
{
    Screen s;
    s.paint({2, pic_skip, red, 0});
    EXPECT_EQ(s.words[0], pic_skip);
    EXPECT_EQ(s.words[1], red);
}

TEST(Paint, RunsFromALineStartCoverWholeLines)
{
    Screen s;
    s.paint({1000 + 720, red, 1000 + 1440, blue, 0});
    EXPECT_EQ(s.count(red), 720u);
    EXPECT_EQ(s.words[719], red);
    EXPECT_EQ(s.words[720], blue);
    EXPECT_EQ(s.words[std::size_t{3} * fb_width - 1], blue);
    EXPECT_EQ(s.words[std::size_t{3} * fb_width], old);
}

TEST(Paint, TokensRunAcrossTheFieldBoundary)
{
    Screen s;
    s.paint({1000 + std::uint32_t(field_words) - 2, pic_skip, 4, red, red, blue, blue, 0});
    EXPECT_EQ(s.words[field_words - 3], old);
    EXPECT_EQ(s.words[field_words - 2], red);
    EXPECT_EQ(s.words[field_words - 1], red);
    EXPECT_EQ(s.words[field_words], blue);
    EXPECT_EQ(s.words[field_words + 1], blue);
    EXPECT_EQ(s.words[field_words + 2], old);
}

// Every length a token can take up to a few rows of eight, as a run, a skip
// run and a literal, painted with room to spare and on a screen that ends
// just after it: exactly its pixels change, and those after it land right.
// The run's colour is a word that would read as a count of 8.
TEST(Paint, EveryShortLengthPaintsExactlyItsPixels)
{
    constexpr pixel_t count_like = pic_run + 8;
    enum kind { run, skip_run, literal };
    for (const kind k : {run, skip_run, literal}) {
        for (std::uint32_t n = k == literal ? 1 : 0; n <= 40; ++n) { // a count of 0 is the end word
            std::vector<std::uint32_t> picture{1003, red};
            if (k == literal) {
                picture.push_back(n);
                for (std::uint32_t i = 0; i < n; ++i)
                    picture.push_back(0xFF000000 | i);
            } else {
                picture.insert(picture.end(), {pic_run + n, k == run ? count_like : pic_skip});
            }
            picture.insert(picture.end(), {1002, red, 0});
            // Also painted as a picture known to hold no skip run, where a
            // skip run of any length is painted in the skip colour.
            for (const bool may_skip : {true, false}) {
                for (const std::size_t room : {std::size_t{fb_words}, std::size_t{n} + 5}) {
                    std::vector<pixel_t> screen(room, old);
                    ASSERT_EQ(pic_paint(picture, screen, may_skip), n + 5) << "kind " << k << ", length " << n;
                    for (std::size_t i = 0; i < room; ++i) {
                        pixel_t want = old;
                        if (i < 3 || (i >= n + 3 && i < n + 5))
                            want = red;
                        else if (i < n + 3)
                            want = k == run       ? count_like
                                   : k == literal ? 0xFF000000 | std::uint32_t(i - 3)
                                   : may_skip     ? old
                                                  : pic_skip;
                        ASSERT_EQ(screen[i], want) << "kind " << k << ", length " << n << ", pixel " << i;
                    }
                }
            }
        }
    }
}

// Rows of short runs, the gradient's tokens, painted two a round: every
// number of them up to a few rounds, every length 0 to 16 and one longer
// among them, skip runs in between, as a plain decoder paints them.
TEST(Paint, RowsOfShortRunsPaintAsEachTokenAlone)
{
    for (std::uint32_t tokens = 1; tokens <= 9; ++tokens) {
        for (std::uint32_t first = 0; first <= 17; ++first) {
            for (const bool skips : {false, true}) {
                std::vector<std::uint32_t> picture;
                std::vector<pixel_t> want(fb_words, old);
                std::size_t d = 0;
                for (std::uint32_t i = 0; i < tokens; ++i) {
                    const std::uint32_t n = (first + 5 * i) % 18; // 17: a longer run
                    const pixel_t colour = skips && i % 3 == 1 ? pic_skip : 0xFF000000 | (i * 0x10101 + n);
                    picture.insert(picture.end(), {pic_run + n, colour});
                    for (std::uint32_t p = 0; p < n; ++p, ++d)
                        want[d] = colour == pic_skip ? old : colour;
                }
                picture.push_back(pic_end);
                Screen s;
                ASSERT_EQ(pic_paint(picture, s.words, skips), d) << tokens << " tokens from " << first;
                const auto differs = std::mismatch(s.words.begin(), s.words.end(), want.begin()).first;
                ASSERT_EQ(differs - s.words.begin(), std::ptrdiff_t{fb_words})
                    << tokens << " tokens from " << first << (skips ? ", skip runs among them" : "");
            }
        }
    }
}

// Malformed pictures: no read past the picture, no write past the screen.
TEST(Paint, TokenCrossingEitherEndStopsThePainting)
{
    Screen s;
    EXPECT_EQ(s.paint({1002, red, 5, blue, blue}), 2u); // literal longer than the picture
    EXPECT_EQ(s.count(blue), 0u);
    EXPECT_EQ(s.paint({1002, red, 1005}), 2u); // run without its colour
    EXPECT_EQ(s.paint({1002, red}), 2u);       // no end word

    Screen full;
    const auto all = std::uint32_t(fb_words);
    EXPECT_EQ(full.paint({1000 + all - 1, red, 2, blue, blue, 0}), fb_words - 1);
    EXPECT_EQ(full.words[fb_words - 1], old);
    EXPECT_EQ(full.paint({1000 + all + 1, red, 0}), 0u); // run past the screen
    EXPECT_EQ(full.paint({0xFFFFFFFF, red, 0}), 0u);
    EXPECT_EQ(full.count(blue), 0u);

    std::vector<pixel_t> small(3, old);
    EXPECT_EQ(pic_paint(std::vector<std::uint32_t>{2, red, red, 2, blue, blue, 0}, small), 2u);
    EXPECT_EQ(small[2], old);

    // A picture without its end word, just before a page that may not be read.
    const PageEnd end({1002, red});
    EXPECT_EQ(pic_paint(end.words, s.words), 2u);
    EXPECT_FALSE(summarize(end.words).well_formed);

    // A run of the longest short length on a screen shorter than it.
    std::vector<pixel_t> four(4 + 16, old);
    EXPECT_EQ(pic_paint(std::vector<std::uint32_t>{1016, red, 0}, std::span(four).first(4)), 0u);
    EXPECT_EQ(std::count(four.begin(), four.end(), red), 0);
}

// The most words a screen can take, one token a pixel: a literal of one, a
// run of one, a run of one in turn with a skip run; walked and painted whole.
// The colours have a bit set that the skip colour has not.
TEST(Paint, OneTokenAPixelPaintsTheWholeScreen)
{
    enum kind { literals, runs, skip_runs };
    for (const kind k : {literals, runs, skip_runs}) {
        std::vector<std::uint32_t> picture;
        for (std::uint32_t i = 0; i < fb_words; ++i)
            picture.insert(picture.end(),
                           {k == literals ? 1 : pic_run + 1, k == skip_runs && i % 2 ? pic_skip : 0xFF800000 | i});
        picture.push_back(pic_end);
        const picture_summary sum = summarize(picture);
        EXPECT_TRUE(sum.well_formed);
        EXPECT_EQ(sum.pixels, fb_words);
        EXPECT_EQ(sum.literals, k == literals ? fb_words : 0);
        EXPECT_EQ(sum.runs, k == literals ? 0 : fb_words);
        EXPECT_EQ(sum.skip_runs, k == skip_runs ? fb_words / 2 : 0);
        Screen s;
        ASSERT_EQ(s.paint(picture), fb_words);
        for (std::uint32_t i = 0; i < fb_words; ++i)
            ASSERT_EQ(s.words[i], k == skip_runs && i % 2 ? old : 0xFF800000 | i) << "kind " << k << ", pixel " << i;
    }
}

// What the walk tells of a picture, token by token, and where it stops.
TEST(Paint, SummaryCountsEachKindOfTokenAndItsPixels)
{
    constexpr std::uint32_t clear = 0x00FF0000, half = 0xFE0000FF, skip = 0xFF00FF00; // the skip colour by value
    const struct {
        const char* what;
        std::vector<std::uint32_t> picture;
        picture_summary want;
    } cases[] = {
        {"the end word alone", {pic_end}, {true, true, 0, 0, 0, 0}},
        {"a run, a literal, a skip run", {1002, red, 2, blue, blue, 1003, skip, pic_end}, {true, true, 7, 2, 1, 1}},
        {"a literal's pixel not opaque", {2, red, clear, pic_end}, {true, false, 2, 0, 1, 0}},
        {"a literal's first pixel of top byte 0xFE", {2, half, red, pic_end}, {true, false, 2, 0, 1, 0}},
        {"a run's colour not opaque", {1001, half, pic_end}, {true, false, 1, 1, 0, 0}},
        {"a run of no pixels", {1000, red, pic_end}, {true, true, 0, 1, 0, 0}},
        {"words after the end word", {1001, red, pic_end, pic_end}, {false, true, 1, 1, 0, 0}},
        {"no end word", {1001, red}, {false, true, 1, 1, 0, 0}},
        {"a literal longer than the picture", {1001, red, 3, red, red}, {false, true, 1, 1, 0, 0}},
        {"a run without its colour", {1001, red, 1002}, {false, true, 1, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const picture_summary got = summarize(c.picture);
        EXPECT_EQ(got.well_formed, c.want.well_formed);
        EXPECT_EQ(got.opaque_words, c.want.opaque_words);
        EXPECT_EQ(got.pixels, c.want.pixels);
        EXPECT_EQ(got.runs, c.want.runs);
        EXPECT_EQ(got.literals, c.want.literals);
        EXPECT_EQ(got.skip_runs, c.want.skip_runs);
    }
}

// Each token exactly at either end, and one word or one pixel past it.
TEST(Paint, TokensAtTheLimitsAndOnePast)
{
    const struct {
        const char* what;
        std::vector<std::uint32_t> picture;
        std::size_t screen;
        std::size_t painted;
    } cases[] = {
        {"a literal that is the picture's last words", {1002, red, 2, blue, blue}, 8, 4},
        {"a literal one word longer than the picture", {1002, red, 3, blue, blue}, 8, 2},
        {"a literal that ends the screen", {1002, red, 2, blue, blue, 0}, 4, 4},
        {"a literal one pixel past the screen", {1002, red, 3, blue, blue, blue, 0}, 4, 2},
        {"a run that ends the screen", {1002, red, 1002, blue, 0}, 4, 4},
        {"a run one pixel past the screen", {1002, red, 1003, blue, 0}, 4, 2},
        {"a skip run that ends the screen", {1002, red, 1002, pic_skip, 0}, 4, 4},
        {"a skip run one pixel past the screen", {1002, red, 1003, pic_skip, 0}, 4, 2},
        {"a run without its colour word", {1002, red, 1002}, 8, 2},
        {"short runs that go on past the screen",
         {1002, red, 1016, blue, 1016, blue, 1016, blue, 1016, blue, 0},
         40,
         34},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<pixel_t> area(c.screen + 2, old); // the screen, then two words that are not
        EXPECT_EQ(pic_paint(c.picture, std::span<pixel_t>(area).first(c.screen)), c.painted);
        EXPECT_EQ(area[c.screen], old);
        EXPECT_EQ(area[c.screen + 1], old);
        EXPECT_EQ(area[1], red); // the tokens before it are painted
    }
}

TEST(Paint, EmbeddedPictureFillsTheWholeScreenWithPixelWords)
{
    // The build checks only the end word: the whole walk is here.
    const picture_summary sum = summarize({pic, pic_length});
    EXPECT_TRUE(sum.well_formed);
    EXPECT_TRUE(sum.opaque_words);
    EXPECT_EQ(sum.pixels, fb_words);
    EXPECT_EQ(sum.skip_runs, 0u);
    EXPECT_FALSE(pic_skips); // as the generated source says, so splash paints it without looking for them
    Screen s;
    EXPECT_EQ(pic_paint({pic, pic_length}, s.words), fb_words);
    for (pixel_t p : s.words)
        ASSERT_EQ(p >> 24, 0xFFu);
}

} // namespace
