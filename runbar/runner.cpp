#include "runner.hpp"

#include "bar.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sched.h>
#include <unistd.h>

int fb0 = -1;

static char job_output[64 * 1024];

void count_dots(const char* bytes, std::size_t length)
{
    const char* end = bytes + length;
    // Once the bar is full further dots change nothing, so they need no search.
    while (prog_current < prog_total) {
        const void* dot = std::memchr(bytes, '.', static_cast<std::size_t>(end - bytes));
        if (dot == nullptr)
            return;
        progress(1);
        bytes = static_cast<const char*>(dot) + 1;
    }
}

// Reads the command's output as it arrives (a read returns whatever the pipe
// holds, so a slow job's dots show at once) until it ends; false when a read
// fails. After a short read the job gets the processor first: waking for
// every small write would cost a fast job more than half its speed.
static bool follow(FILE* job)
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

int runbar_main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s command\n", argc > 0 ? argv[0] : "runbar");
        return 1;
    }
    fb0 = fb_open();
    fb_mem = fb_map(fb0);
    clear_pbar();

    FILE* job = popen(argv[1], "r");
    if (job == nullptr) {
        fprintf(stderr, "error popen %s\n", argv[1]);
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
