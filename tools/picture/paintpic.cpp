// paintpic: paints a run-length picture from a file with splash's own painter:
// into /dev/fb0 as splash paints its embedded picture (the picture preview),
// or into a mapping of one frame for the painter's cost meter. Built for the
// receiver; it runs in the simulated receiver and under qemu-mips, never on
// the box.
//   paintpic PICTURE.words          paints into /dev/fb0
//   paintpic -m PICTURE.words OUT   paints into memory between two calls of
//                                   meter_mark, then copies the painted frame
//                                   onto itself with memcpy between two more;
//                                   OUT gets the frame
// PICTURE.words holds the picture's words big-endian, end word included
// (picenc --words writes it).
#include "fb/fb.hpp"
#include "splash/paint.hpp"
#include "splash/picture.hpp"
#if !defined(PAINTPIC_FOR_METER)
#include "tools/picture/file_out.hpp"

#include <string>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>

static std::uint32_t words[pic_max_words];
static pixel_t copy[fb_words];

// The meter counts what runs between one call and the next.
extern "C" __attribute__((noinline)) void meter_mark() { __asm__ volatile("" ::: "memory"); }

static int fail(const char* what)
{
    fprintf(stderr, "paintpic: %s: %s\n", what, strerror(errno));
    return 1;
}

// Reads the words in the file's byte order (big-endian) into the
// processor's. Returns how many, or 0 with a message when the file cannot be
// read or is no whole picture that fits the buffer.
static std::size_t read_words(const char* path)
{
    FILE* in = fopen(path, "rb");
    if (in == nullptr) {
        fail(path);
        return 0;
    }
    std::size_t n = 0;
    unsigned char b[4];
    std::size_t got = 0;
    while (n < pic_max_words && (got = fread(b, 1, 4, in)) == 4)
        words[n++] = std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    const bool more = n == pic_max_words && fread(b, 1, 1, in) == 1;
    const bool failed = ferror(in) != 0;
    fclose(in);
    if (failed) {
        fail(path);
        return 0;
    }
    if (more) {
        fprintf(stderr,
                "paintpic: %s: the picture is larger than the %zu words (%zu bytes) any picture of the screen "
                "can need\n",
                path, pic_max_words, pic_max_words * 4);
        return 0;
    }
    if (got % 4 != 0 || n == 0) {
        fprintf(stderr, "paintpic: %s: %s\n", path, n == 0 && got == 0 ? "holds no picture" : "ends inside a word");
        return 0;
    }
    return n;
}

static int meter(std::size_t n, const char* out_path)
{
    void* base = mmap(nullptr, fb_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return fail("mmap");
    pixel_t* screen = static_cast<pixel_t*>(base);
    // Known before painting, as splash knows it of its picture when it is built.
    const bool may_skip = summarize({words, n}).skip_runs > 0;
    meter_mark();
    const std::size_t painted = pic_paint({words, n}, {screen, fb_words}, may_skip);
    meter_mark();
    memcpy(copy, screen, fb_bytes);
    meter_mark();
    memcpy(screen, copy, fb_bytes);
    meter_mark();
#if defined(PAINTPIC_FOR_METER)
    // The receiver's build, for the cost meter only: no heap for the
    // whole-file writer, and its file is the meter's own.
    FILE* out = fopen(out_path, "wb");
    if (out == nullptr || fwrite(screen, 1, fb_bytes, out) != fb_bytes || fclose(out) != 0)
        return fail(out_path);
#else
    std::string why;
    if (!write_whole_file(out_path, {reinterpret_cast<const char*>(screen), fb_bytes}, why)) {
        fprintf(stderr, "paintpic: %s\n", why.c_str());
        return 1;
    }
#endif
    printf("paintpic: %zu words, %zu pixels painted\n", n, painted);
    return 0;
}

int main(int argc, char** argv)
{
    const bool metered = argc == 4 && strcmp(argv[1], "-m") == 0;
    if (!metered && argc != 2) {
        fprintf(stderr, "usage: paintpic PICTURE.words | paintpic -m PICTURE.words OUT\n");
        return 2;
    }
    const char* path = argv[metered ? 2 : 1];
    const std::size_t n = read_words(path);
    if (n == 0)
        return 1;
    if (metered)
        return meter(n, argv[3]);
    pixel_t* screen = fb_map(fb_open());
    pic_paint({words, n}, {screen, fb_words});
    return 0;
}
