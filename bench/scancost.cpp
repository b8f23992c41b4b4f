// scancost FILE: runbar's scan of its job's output, as the cost meter counts
// it on the receiver's processor (bench/meter.cpp, under qemu-mips): FILE is
// read as runbar reads its job, and every dot in it is counted into the bar,
// drawn into a screen in memory, between two meter marks.
#include "fb/fb.hpp"
#include "runbar/bar.hpp"
#include "runbar/runner.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

// The meter's marks: a stretch is counted from one call to the next.
extern "C" __attribute__((noinline)) void meter_mark() { __asm__ volatile("" ::: "memory"); }

static pixel_t screen[fb_words];

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: scancost FILE\n", stderr);
        return 2;
    }
    FILE* job = fopen(argv[1], "r");
    if (job == nullptr) {
        fprintf(stderr, "scancost: %s: %s\n", argv[1], strerror(errno));
        return 1;
    }
    fb_mem = screen;
    meter_mark();
    const bool ended = follow(job);
    meter_mark();
    printf("scancost: %d units\n", prog_current);
    return ended ? 0 : 1;
}
