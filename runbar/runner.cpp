#include "runner.hpp"

#include "bar.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sched.h>
#include <sys/uio.h>
#include <unistd.h>

int fb0 = -1;

// The job's output, read in; aligned so that it is scanned a word at a time.
alignas(8) static char job_output[64 * 1024];

namespace {

// The scan runs for every byte a job prints, on the box's one core: a word
// of four bytes at a time, eight words a round, one test for a dot in any
// of the round's bytes. After the xor a dot is a zero byte, and for a word
// w, (w - 0x01010101) & ~w & 0x80808080 is nonzero exactly when one of its
// bytes is zero (a borrow reaches a byte's top bit only past a zero below).
constexpr std::uint32_t dots = 0x2E2E2E2E, ones = 0x01010101, tops = 0x80808080;
constexpr std::size_t round_bytes = 32;

[[gnu::always_inline]] inline std::uint32_t zero_bytes(const char* at)
{
    std::uint32_t w;
    std::memcpy(&w, at, sizeof w);
    w ^= dots;
    return (w - ones) & ~w;
}

// at: a word's first byte (every word of the round is then whole and aligned).
[[gnu::always_inline]] inline bool round_has_dot(const char* word)
{
    const char* const at = static_cast<const char*>(__builtin_assume_aligned(word, 4));
    const std::uint32_t any = zero_bytes(at) | zero_bytes(at + 4) | zero_bytes(at + 8) | zero_bytes(at + 12) |
                              zero_bytes(at + 16) | zero_bytes(at + 20) | zero_bytes(at + 24) | zero_bytes(at + 28);
    return (any & tops) != 0;
}

// The first dot from p on, or end.
const char* next_dot(const char* p, const char* end)
{
    for (; p != end && reinterpret_cast<std::uintptr_t>(p) % 4 != 0; ++p)
        if (*p == '.')
            return p;
    const char* const rounds_end = p + std::size_t(end - p) / round_bytes * round_bytes;
    if (p != rounds_end)
        do {
            if (round_has_dot(p))
                break;
            p += round_bytes;
        } while (p != rounds_end);
    // The round that holds a dot, or the bytes after the last whole round.
    for (; p != end; ++p)
        if (*p == '.')
            return p;
    return end;
}

} // namespace

void count_dots(const char* bytes, std::size_t length)
{
    const char* const end = bytes + length;
    // Once the bar is full further dots change nothing, so they need no search.
    while (prog_current < prog_total) {
        const char* const dot = next_dot(bytes, end);
        if (dot == end)
            return;
        progress(1);
        bytes = dot + 1;
    }
}

// Reads the command's output as it arrives (a read returns whatever the pipe
// holds, so a slow job's dots show at once) until it ends; false when a read
// fails. After a short read the job gets the processor first: waking for
// every small write would cost a fast job more than half its speed.
bool follow(FILE* job)
{
    const int fd = fileno(job);
    for (;;) {
        const ssize_t got = read(fd, job_output, sizeof job_output);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        count_dots(job_output, static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < sizeof job_output)
            sched_yield();
    }
}

// usleep, resumed where a signal cut it short, so every pause is whole.
static void pause_us(long microseconds)
{
    timespec left{microseconds / 1000000, microseconds % 1000000 * 1000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void complete_bar()
{
    while (prog_current < prog_total) {
        progress(rand() % 2000);
        pause_us(rand() % 300000 + 10000);
    }
    for (std::int32_t x = prog_x2; x <= prog_x2 + cap_width - 1; ++x)
        vbar(x, prog_y1, prog_y2, prog_fg);
}

// The two messages in pieces (printf's formatting would bring its float
// code), put out in one write, so that nothing another writer puts on the
// same standard error falls between them.
static void say(const char* before, const char* text, const char* after)
{
    iovec pieces[] = {{const_cast<char*>(before), strlen(before)},
                      {const_cast<char*>(text), strlen(text)},
                      {const_cast<char*>(after), strlen(after)}};
    (void)writev(STDERR_FILENO, pieces, 3);
}

int runbar_main(int argc, char** argv)
{
    if (argc < 2) {
        say("usage: ", argc > 0 ? argv[0] : "runbar", " command\n");
        return 1;
    }
    fb0 = fb_open();
    fb_mem = fb_map(fb0);
    clear_pbar();

    FILE* job = popen(argv[1], "r");
    if (job == nullptr) {
        say("error popen ", argv[1], "\n");
        return 1;
    }
    // A failed read is no end of the job: the bar stays as it is, uncapped.
    if (!follow(job)) {
        perror("read");
        return 1;
    }
    complete_bar();
    // The job is neither waited for nor collected: the process's end lets it go.
    return 0;
}
