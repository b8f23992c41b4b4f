#include "paint.hpp"

#include "picture.hpp"

#include <algorithm>
#include <cstring>

namespace {

// Runs of up to this many pixels are short: the most common token of photos
// and gradients, painted by a jump on their length.
constexpr std::uint32_t short_run_max = 16;

// The steps inside a token differ between the two processors the painter
// runs on, and only here.
#if defined(__mips__)
// The receiver: the screen is mapped uncached, so every store into it is a
// bus write, and a pixel stored twice costs twice. Word stores only, each
// pixel once and in order: sixteen at a time, then the token's last n % 16
// by a jump into a row of stores counted back from its end.
inline void copy_pixels(pixel_t* d, const std::uint32_t* s, std::uint32_t n)
{
    pixel_t* const e = d + n;
    const std::uint32_t* const f = s + n;
    // Sixteen at a time, the loop kept by the destination alone.
    for (pixel_t* const whole = d + (n & ~15u); d != whole; d += 16, s += 16) {
        d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = s[3], d[4] = s[4], d[5] = s[5], d[6] = s[6], d[7] = s[7];
        d[8] = s[8], d[9] = s[9], d[10] = s[10], d[11] = s[11], d[12] = s[12], d[13] = s[13], d[14] = s[14];
        d[15] = s[15];
    }
    // clang-format off
    switch (n % 16) {
    case 15: e[-15] = f[-15]; [[fallthrough]];
    case 14: e[-14] = f[-14]; [[fallthrough]];
    case 13: e[-13] = f[-13]; [[fallthrough]];
    case 12: e[-12] = f[-12]; [[fallthrough]];
    case 11: e[-11] = f[-11]; [[fallthrough]];
    case 10: e[-10] = f[-10]; [[fallthrough]];
    case 9: e[-9] = f[-9]; [[fallthrough]];
    case 8: e[-8] = f[-8]; [[fallthrough]];
    case 7: e[-7] = f[-7]; [[fallthrough]];
    case 6: e[-6] = f[-6]; [[fallthrough]];
    case 5: e[-5] = f[-5]; [[fallthrough]];
    case 4: e[-4] = f[-4]; [[fallthrough]];
    case 3: e[-3] = f[-3]; [[fallthrough]];
    case 2: e[-2] = f[-2]; [[fallthrough]];
    case 1: e[-1] = f[-1]; [[fallthrough]];
    case 0: break;
    default: __builtin_unreachable();
    }
    // clang-format on
}

// A longer run's last n % 16 pixels: one row of stores counted back from its
// end, entered by a jump on their number.
inline void fill_short(pixel_t* d, pixel_t colour, std::uint32_t n)
{
    pixel_t* const e = d + n;
    // clang-format off
    switch (n) {
    case 15: e[-15] = colour; [[fallthrough]];
    case 14: e[-14] = colour; [[fallthrough]];
    case 13: e[-13] = colour; [[fallthrough]];
    case 12: e[-12] = colour; [[fallthrough]];
    case 11: e[-11] = colour; [[fallthrough]];
    case 10: e[-10] = colour; [[fallthrough]];
    case 9: e[-9] = colour; [[fallthrough]];
    case 8: e[-8] = colour; [[fallthrough]];
    case 7: e[-7] = colour; [[fallthrough]];
    case 6: e[-6] = colour; [[fallthrough]];
    case 5: e[-5] = colour; [[fallthrough]];
    case 4: e[-4] = colour; [[fallthrough]];
    case 3: e[-3] = colour; [[fallthrough]];
    case 2: e[-2] = colour; [[fallthrough]];
    case 1: e[-1] = colour; [[fallthrough]];
    case 0: break;
    default: __builtin_unreachable();
    }
    // clang-format on
}

// A longer run: sixteen at a time, the loop kept by the destination alone,
// then the rest as a short run.
inline void fill_pixels(pixel_t* d, pixel_t colour, std::uint32_t n)
{
    for (pixel_t* const whole = d + (n & ~15u); d != whole; d += 16) {
        d[0] = colour, d[1] = colour, d[2] = colour, d[3] = colour, d[4] = colour, d[5] = colour;
        d[6] = colour, d[7] = colour, d[8] = colour, d[9] = colour, d[10] = colour, d[11] = colour;
        d[12] = colour, d[13] = colour, d[14] = colour, d[15] = colour;
    }
    fill_short(d, colour, n % 16);
}

// A stretch of short runs, the gradient's and the photo's every token: from
// t up to stretch_end, two tokens a round, or to the first token that is
// not a short run. Per token, besides its stores: its two loads, the
// length's test, the jump back from its row's end by its length (no table),
// the destination's step; per round the source's step and the loop's
// branch, whose delay slot loads the next count. With skips, one test of
// the colour more a token. stretch_end - t is a multiple of four words.
template <bool skips>
inline void paint_stretch(const std::uint32_t*& t, const std::uint32_t* stretch_end, pixel_t*& d)
{
    std::uint32_t n, n2, colour, is_short, row1, row2, to;
#define RX_ROW(c, d)                                                                                                   \
    "sw " c ", -64(" d ")\n\tsw " c ", -60(" d ")\n\tsw " c ", -56(" d ")\n\tsw " c ", -52(" d ")\n\t"                 \
    "sw " c ", -48(" d ")\n\tsw " c ", -44(" d ")\n\tsw " c ", -40(" d ")\n\tsw " c ", -36(" d ")\n\t"                 \
    "sw " c ", -32(" d ")\n\tsw " c ", -28(" d ")\n\tsw " c ", -24(" d ")\n\tsw " c ", -20(" d ")\n\t"                 \
    "sw " c ", -16(" d ")\n\tsw " c ", -12(" d ")\n\tsw " c ", -8(" d ")\n\tsw " c ", -4(" d ")\n"
    // clang-format off
    __asm__ volatile(
        ".set push\n\t.set noreorder\n\t"
        "beq %[t], %[stretch_end], 9f\n\t"
        "nop\n\t"
        "bal 8f\n\t"                            // where the rows end, from here
        "lw %[n], 0(%[t])\n"
        "8:\taddiu %[row1], $ra, 2f - 8b\n\t"
        "b 1f\n\t"
        "addiu %[row2], $ra, 4f - 8b\n"
        "5:\tb 2f\n\t"                         // the first token a skip run: no store
        "lw %[n2], 8(%[t])\n"
        "6:\tb 4f\n\t"                         // the second
        "addiu %[t], %[t], 16\n"
        "7:\tb 9f\n\t"                         // the second token is no short run
        "addiu %[t], %[t], 8\n"
        // the round's first token
        "1:\tlw %[colour], 4(%[t])\n\t"
        "addiu %[n], %[n], -1000\n\t"
        "sltiu %[is_short], %[n], 17\n\t"
        "beqz %[is_short], 9f\n\t"
        "sll %[n], %[n], 2\n\t"
        ".if %[skips]\n\tbeq %[colour], %[skip], 5b\n\t.endif\n\t"
        "addu %[d], %[d], %[n]\n\t"
        "subu %[to], %[row1], %[n]\n\t"
        "jr %[to]\n\t"
        "lw %[n2], 8(%[t])\n\t"
        RX_ROW("%[colour]", "%[d]")
        // the second
        "2:\tlw %[colour], 12(%[t])\n\t"
        "addiu %[n2], %[n2], -1000\n\t"
        "sltiu %[is_short], %[n2], 17\n\t"
        "beqz %[is_short], 7b\n\t"
        "sll %[n2], %[n2], 2\n\t"
        ".if %[skips]\n\tbeq %[colour], %[skip], 6b\n\t.endif\n\t"
        "addu %[d], %[d], %[n2]\n\t"
        "subu %[to], %[row2], %[n2]\n\t"
        "jr %[to]\n\t"
        "addiu %[t], %[t], 16\n\t"
        RX_ROW("%[colour]", "%[d]")
        "4:\tbnel %[t], %[stretch_end], 1b\n\t"
        "lw %[n], 0(%[t])\n"
        "9:\n\t.set pop"
        : [t] "+r"(t), [d] "+r"(d), [n] "=&r"(n), [n2] "=&r"(n2), [colour] "=&r"(colour),
          [is_short] "=&r"(is_short), [row1] "=&r"(row1), [row2] "=&r"(row2), [to] "=&r"(to)
        : [stretch_end] "r"(stretch_end), [skip] "r"(pic_skip), [skips] "i"(skips ? 1 : 0)
        : "$31", "memory");
    // clang-format on
#undef RX_ROW
    static_assert(short_run_max == 16, "a row holds 16 stores");
}
#else
// The PC: the screen is cached memory, where a few pixels stored twice cost
// less than a loop or a library call. Short tokens are two copies of a
// fixed size w, one from the token's start and one ending at its end, which
// overlap so that together they cover exactly its n pixels for any n from w
// to 2w; longer ones are memcpy and fill.
template <std::uint32_t w>
inline void copy_overlapping(pixel_t* d, const std::uint32_t* s, std::uint32_t n)
{
    std::memcpy(d, s, w * sizeof(pixel_t));
    std::memcpy(d + n - w, s + n - w, w * sizeof(pixel_t));
}

inline void copy_pixels(pixel_t* d, const std::uint32_t* s, std::uint32_t n)
{
    if (n <= 4) {
        if (n >= 2)
            copy_overlapping<2>(d, s, n);
        else if (n == 1)
            d[0] = s[0];
    } else if (n <= 8) {
        copy_overlapping<4>(d, s, n);
    } else if (n <= 16) {
        copy_overlapping<8>(d, s, n);
    } else {
        std::memcpy(d, s, n * sizeof(pixel_t));
    }
}

using block2 = pixel_t __attribute__((vector_size(2 * sizeof(pixel_t))));
using block4 = pixel_t __attribute__((vector_size(4 * sizeof(pixel_t))));
using block8 = pixel_t __attribute__((vector_size(8 * sizeof(pixel_t))));

template <typename block>
inline void fill_overlapping(pixel_t* d, pixel_t colour, std::uint32_t n)
{
    constexpr std::uint32_t w = sizeof(block) / sizeof(pixel_t);
    static_assert(w >= 2);
    block same = {};
    same += colour;
    std::memcpy(d, &same, sizeof same);
    std::memcpy(d + n - w, &same, sizeof same);
}

inline void fill_short(pixel_t* d, pixel_t colour, std::uint32_t n)
{
    if (n <= 4) {
        if (n >= 2)
            fill_overlapping<block2>(d, colour, n);
        else if (n == 1)
            d[0] = colour;
    } else if (n <= 8) {
        fill_overlapping<block4>(d, colour, n);
    } else {
        fill_overlapping<block8>(d, colour, n);
    }
}

inline void fill_pixels(pixel_t* d, pixel_t colour, std::uint32_t n) { std::fill_n(d, n, colour); }

template <bool skips>
inline void paint_stretch(const std::uint32_t*& t, const std::uint32_t* stretch_end, pixel_t*& d)
{
    while (t != stretch_end) {
        const std::uint32_t n = t[0] - pic_run;
        const pixel_t colour = t[1]; // the stretch holds whole pairs of words
        if (n > short_run_max)
            break;
        t += 2;
        if (!skips || colour != pic_skip)
            fill_short(d, colour, n);
        d += n;
    }
}
#endif

} // namespace

// Short runs come in long rows (photos, gradients): they are painted in
// stretches that surely fit, as many tokens as the picture has words for
// and the screen has pixels for, so that each needs no check of its own.
// Any other token (a literal, a longer run, the end word, a short run near
// either end) is checked on its own, after which the next stretch is sized.
template <bool skips>
static std::size_t paint(std::span<const std::uint32_t> picture, std::span<pixel_t> screen)
{
    const std::uint32_t* t = picture.data();
    const std::uint32_t* const t_end = t + picture.size();
    pixel_t* d = screen.data();
    pixel_t* const d_end = d + screen.size();

    for (;;) {
        const std::size_t sure = std::min(std::size_t(t_end - t) / 2, std::size_t(d_end - d) / short_run_max);
        paint_stretch<skips>(t, t + 4 * (sure / 2), d); // whole rounds of two tokens

        const std::size_t words = std::size_t(t_end - t), left = std::size_t(d_end - d);
        if (words == 0)
            break;
        const std::uint32_t c = *t;
        if (c >= pic_run) {
            const std::uint32_t n = c - pic_run;
            if (words < 2 || n > left)
                break;
            if (!skips || t[1] != pic_skip)
                fill_pixels(d, t[1], n);
            d += n;
            t += 2;
        } else if (c != pic_end) {
            if (c >= words || c > left)
                break;
            copy_pixels(d, t + 1, c);
            d += c;
            t += c + 1;
        } else {
            break;
        }
    }
    return static_cast<std::size_t>(d - screen.data());
}

std::size_t pic_paint(std::span<const std::uint32_t> picture, std::span<pixel_t> screen, bool may_skip)
{
    return may_skip ? paint<true>(picture, screen) : paint<false>(picture, screen);
}
