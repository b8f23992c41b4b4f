#include "runbar/bar.hpp"
#include "runbar/runner.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr pixel_t blank = 0x12345678;

// The bar's state as the program starts, before any test sets it: the bar's
// variables are constants until runbar runs, so they are read here first.
const std::int32_t initial[] = {prog_x1, prog_x2, prog_y1, prog_y2, prog_total, prog_current};
const pixel_t initial_colours[] = {prog_bg, prog_fg};

// What the viewer sees on each display line: the upper field's lines on the
// even ones, the lower field's (from buffer line 288) on the odd ones.
TEST(BarState, DisplayLinesAlternateBetweenTheFields)
{
    const int display[] = {0, 1, 2, 3, 200, 219, 574, 575};
    const int buffer[] = {0, 288, 1, 289, 100, 397, 287, 575};
    for (std::size_t i = 0; i < std::size(display); ++i)
        EXPECT_EQ(buffer_line(display[i]), buffer[i]) << "display line " << display[i];
}

// Started with no arguments at all (old kernels allow it): the usage names runbar.
TEST(BarState, UsageWithoutEvenAProgramNameNamesRunbar)
{
    char* none[] = {nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(runbar_main(0, none), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "usage: runbar command\n");
}

TEST(BarState, StartsEmptyAtItsFixedPlaceInItsGreys)
{
    const std::int32_t want[] = {180, 500, 100, 110, 1000, 0};
    for (std::size_t i = 0; i < std::size(want); ++i)
        EXPECT_EQ(initial[i], want[i]) << "variable " << i << " of prog_x1, x2, y1, y2, total, current";
    EXPECT_EQ(initial_colours[0], 0xFFC0C0C0u);
    EXPECT_EQ(initial_colours[1], 0xFF404040u);
    EXPECT_EQ(cap_width, 5);
}

// A RAM buffer stands in for the screen; the bar starts empty.
class Bar : public ::testing::Test {
  protected:
    std::vector<pixel_t> screen = std::vector<pixel_t>(fb_words, blank);
    void SetUp() override
    {
        fb_mem = screen.data();
        prog_current = 0;
    }
    pixel_t at(int x, int field_line, int field = 0) const
    {
        return screen[std::size_t(field) * field_words + std::size_t(field_line) * fb_width + x];
    }
    // Columns first..end-1 hold colour on every bar line in both fields, and
    // nothing else on the screen differs from blank.
    void expect_only_columns(int first, int end, pixel_t colour) const
    {
        std::size_t painted = 0;
        for (std::size_t i = 0; i < fb_words; ++i) {
            const int field_line = int(i % field_words) / fb_width;
            const int x = int(i % fb_width);
            const bool inside = x >= first && x < end && field_line >= 100 && field_line < 110;
            ASSERT_EQ(screen[i], inside ? colour : blank) << "word " << i;
            painted += inside;
        }
        EXPECT_EQ(painted, std::size_t(end > first ? end - first : 0) * 10 * 2);
    }
};

TEST_F(Bar, PixelGoesIntoBothFields)
{
    fb_pixel(0, 0, 0xFF000001);
    EXPECT_EQ(screen[0], 0xFF000001u);
    EXPECT_EQ(screen[field_words], 0xFF000001u);
    fb_pixel(719, 287, 0xFF000002);
    EXPECT_EQ(screen[field_words - 1], 0xFF000002u);
    EXPECT_EQ(screen[fb_words - 1], 0xFF000002u);
}

TEST_F(Bar, VbarDrawsHalfOpenRangeAndNothingWhenEmpty)
{
    vbar(3, 5, 5, 1);
    vbar(3, 6, 2, 1);
    for (pixel_t p : screen)
        ASSERT_EQ(p, blank);
    vbar(3, 5, 7, 1);
    EXPECT_EQ(at(3, 4), blank);
    EXPECT_EQ(at(3, 5), 1u);
    EXPECT_EQ(at(3, 6, 1), 1u);
    EXPECT_EQ(at(3, 7), blank);
}

TEST_F(Bar, ClearPaintsBarAndCapInBackground)
{
    clear_pbar();
    expect_only_columns(180, 505, 0xFFC0C0C0);
}

TEST_F(Bar, FirstThreeUnitsDrawNothingTheFourthDrawsColumn180)
{
    for (int i = 0; i < 3; ++i)
        progress(1);
    EXPECT_EQ(prog_current, 3);
    expect_only_columns(0, 0, 0);
    progress(1);
    expect_only_columns(180, 181, 0xFF404040);
}

TEST_F(Bar, StepOfZeroChangesNothing)
{
    progress(0);
    EXPECT_EQ(prog_current, 0);
    expect_only_columns(0, 0, 0);
}

TEST_F(Bar, StepOf1000FillsProportionalPartInOneCall)
{
    progress(1000);
    EXPECT_EQ(prog_current, 1000);
    expect_only_columns(180, 500, 0xFF404040);
}

TEST_F(Bar, CountStopsAtTotalAndLaterStepsDrawNothing)
{
    progress(999);
    progress(1999);
    EXPECT_EQ(prog_current, 1000);
    progress(0x7FFFFFFF); // summed wide: no overflow past the clamp
    EXPECT_EQ(prog_current, 1000);
    expect_only_columns(180, 500, 0xFF404040);
}

// Steps each below the total whose sum passes it: the count stops at the
// total, and the bar at its last column, never into the cap.
TEST_F(Bar, StepsBelowTheTotalStopAtItsLastColumn)
{
    progress(999);
    progress(999);
    EXPECT_EQ(prog_current, 1000);
    expect_only_columns(180, 500, 0xFF404040);
    prog_current = 996;
    progress(4); // exactly to the total
    EXPECT_EQ(prog_current, 1000);
    const char dots[] = "........";
    prog_current = 995;
    count_dots(dots, sizeof dots - 1); // more dots than units left
    EXPECT_EQ(prog_current, 1000);
    expect_only_columns(180, 500, 0xFF404040);
}

TEST_F(Bar, EdgeFollowsUnitCountWithoutDrift)
{
    EXPECT_EQ(bar_edge(250), 260);
    // The product is taken in 64 bits, for any count a caller may give.
    EXPECT_EQ(bar_edge(2147483647), 180 + 687194767);
    EXPECT_EQ(bar_edge(-2147483647 - 1), 180 - 687194767);
    for (int i = 0; i < 250; ++i)
        progress(1);
    expect_only_columns(180, 260, 0xFF404040);
    progress(7);
    progress(3);
    EXPECT_EQ(prog_current, 260);
    expect_only_columns(180, bar_edge(260), 0xFF404040);
}

TEST_F(Bar, DotsAdvanceOneUnitEachAndOtherBytesAreIgnored)
{
    const char job[] = "..\nx.y.\r\n .";
    count_dots(job, sizeof job - 1);
    EXPECT_EQ(prog_current, 5);
    const std::string many(3000, '.');
    count_dots(many.data(), many.size());
    EXPECT_EQ(prog_current, 1000);
    expect_only_columns(180, 500, 0xFF404040);
}

// The scan takes aligned words in rounds and the bytes around them one by
// one: a dot at every place of a buffer at every alignment is counted once,
// and bytes one bit or one away from a dot (and a zero) never are.
TEST_F(Bar, EveryDotIsCountedWhereverItLies)
{
    alignas(8) char job[4 + 100];
    for (const char other : {'x', '/', '-', char(0xAE), char(0x2F), '\0', char(0xFF), char(0x0E)}) {
        for (std::size_t start = 0; start < 4; ++start) {
            for (std::size_t at = 0; at < 100 - start; ++at) {
                std::memset(job, other, sizeof job);
                job[start + at] = '.';
                prog_current = 0;
                count_dots(job + start, 100 - start);
                ASSERT_EQ(prog_current, 1) << "dot at " << at << " from offset " << start << " among " << int(other);
                count_dots(job + start, at); // the bytes before it
                ASSERT_EQ(prog_current, 1) << "before the dot at " << at << " among " << int(other);
            }
        }
    }
    // Dots in one buffer at once: neighbours, a round's first and last, the last byte.
    std::memset(job, 'x', sizeof job);
    for (const std::size_t at : {0, 1, 31, 32, 33, 63, 64, 99})
        job[at] = '.';
    prog_current = 0;
    count_dots(job, 100);
    EXPECT_EQ(prog_current, 8);
}

// Once the bar is full the rest of the job's output is not looked at: a
// page that may not be read follows the round that holds the 1000th dot.
TEST_F(Bar, TheScanStopsOnceTheBarIsFull)
{
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    void* const pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    char* const first = static_cast<char*>(pages);
    ASSERT_EQ(mprotect(first + page, page, PROT_NONE), 0);
    std::memset(first, 'x', page);
    std::memset(first + page - 96, '.', 64); // the last 64 units, then a round of other bytes
    prog_current = 1000 - 64;
    count_dots(first + page - 128, page + 128); // to the end of the unreadable page
    EXPECT_EQ(prog_current, 1000);
    munmap(pages, 2 * page);
}

TEST_F(Bar, CompletionFillsFromWhereTheJobLeftAndCapsInForeground)
{
    srand(1); // what an unseeded generator starts from
    progress(990);
    complete_bar();
    EXPECT_EQ(prog_current, 1000);
    expect_only_columns(180, 505, 0xFF404040);
}

// Each step of the completion is the generator's next value below 2000, each
// pause takes one more: the generator stands where as many steps as the bar
// needed leave it (seeds of one and of three steps, each of which would take
// another number of steps with values below 1999 on the PC's C library).
TEST_F(Bar, CompletionTakesTheStepsTheGeneratorGives)
{
    for (const unsigned seed : {104u, 105u, 109u}) {
        srand(seed);
        prog_current = 0;
        complete_bar();
        const int after = rand();
        srand(seed);
        int steps = 0;
        for (std::int32_t units = 0; units < 1000; ++steps, rand())
            units += rand() % 2000;
        EXPECT_EQ(after, rand()) << "seed " << seed << ", " << steps << " steps";
    }
}

} // namespace
