// fbshot: writes a PNG of a frame-buffer image as the viewer sees it.
#include "fb/fb.hpp"
#include "shot.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static int usage()
{
    fprintf(stderr, "usage: fbshot [-b | -l | -n] [-s] FRAMEBUFFER OUTPUT.png\n"
                    "  -b  pixel words are big-endian (the receiver, or a program run under qemu-mips)\n"
                    "  -l  pixel words are little-endian\n"
                    "  -n  this machine's own byte order\n"
                    "  without any, the order is told from the pixel words' top byte 0xFF, and said\n"
                    "  -s  lines as stored, one field above the other (default: woven, as a viewer sees them)\n");
    return 2;
}

int main(int argc, char** argv)
{
    byte_order order = byte_order::native;
    bool told = false;
    line_order lines = line_order::woven;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (strcmp(argv[arg], "-b") == 0)
            order = byte_order::big, told = true;
        else if (strcmp(argv[arg], "-l") == 0)
            order = byte_order::little, told = true;
        else if (strcmp(argv[arg], "-n") == 0)
            order = byte_order::native, told = true;
        else if (strcmp(argv[arg], "-s") == 0)
            lines = line_order::stored;
        else
            return usage();
    }
    if (argc - arg != 2)
        return usage();
    const char* in_path = argv[arg];
    const char* out_path = argv[arg + 1];

    FILE* in = fopen(in_path, "rb");
    if (in == nullptr) {
        fprintf(stderr, "fbshot: %s: %s\n", in_path, strerror(errno));
        return 1;
    }
    std::vector<std::uint8_t> fb(fb_bytes);
    const std::size_t got = fread(fb.data(), 1, fb.size(), in);
    fclose(in);
    if (got != fb_bytes) {
        fprintf(stderr, "fbshot: %s: holds %zu bytes, a frame buffer has %zu\n", in_path, got, fb_bytes);
        return 1;
    }
    const order_counts counts = count_drawn(fb);
    if (mixed(counts))
        fprintf(stderr,
                "fbshot: %s: warning: %zu words are big-endian pixel words (a MIPS program's) and %zu little-endian "
                "(a PC program's): both kinds of program have drawn on this screen, and no byte order shows all of "
                "it right\n",
                in_path, counts.big, counts.little);
    if (!told) {
        order = guess_order(fb);
        fprintf(stderr, "fbshot: %s: %s\n", in_path,
                order == byte_order::big      ? "big-endian pixel words (a MIPS program's)"
                : order == byte_order::little ? "little-endian pixel words (a PC program's)"
                                              : "no pixel words to tell the byte order by; read in this machine's");
    }
    std::string why;
    if (!write_png(out_path, screen_picture(fb, order, lines), why)) {
        fprintf(stderr, "fbshot: %s\n", why.c_str());
        return 1;
    }
    return 0;
}
