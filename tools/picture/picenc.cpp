// picenc: turns a 720x576 PNG into the boot picture's source for splash.
#include "encode.hpp"
#include "fb/fb.hpp"
#include "splash/picture.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static int usage()
{
    fprintf(stderr, "usage: picenc [--background RRGGBB] PICTURE.png OUTPUT.cpp\n"
                    "  PICTURE.png: any PNG of 720x576. Fully transparent pixels are left as the\n"
                    "  screen holds them; partly transparent ones are blended over the background\n"
                    "  colour, which must then be given (hexadecimal, e.g. 000000 for black).\n");
    return 2;
}

int main(int argc, char** argv)
{
    int arg = 1;
    long background = -1;
    if (argc > 2 && strcmp(argv[1], "--background") == 0) {
        char* end = nullptr;
        background = strtol(argv[2], &end, 16);
        if (strlen(argv[2]) != 6 || *end != '\0' || background < 0)
            return usage();
        arg = 3;
    }
    if (argc - arg != 2)
        return usage();
    const char* in_path = argv[arg];
    const char* out_path = argv[arg + 1];

    picture png;
    std::string why;
    const picture_size screen{fb_width, fb_height};
    if (!read_png(in_path, png, why, &screen)) {
        fprintf(stderr, "picenc: %s\n", why.c_str());
        return 1;
    }
    const std::size_t partly = partly_transparent(png);
    if (partly > 0 && background < 0) {
        fprintf(stderr,
                "picenc: %s: %zu pixels are partly transparent, and the painter cannot blend them with the "
                "screen; give --background RRGGBB to blend them over that colour, or make them opaque or fully "
                "transparent\n",
                in_path, partly);
        return 1;
    }
    const std::vector<std::uint32_t> pixels = screen_order(png, background < 0 ? 0 : std::uint32_t(background));
    const std::vector<std::uint32_t> words = encode_picture(pixels);
    if (!verify_encoding(words, pixels, why)) {
        fprintf(stderr, "picenc: %s: %s\n", in_path, why.c_str());
        return 1;
    }
    const std::string source = generated_source(words);
    FILE* out = fopen(out_path, "w");
    if (out == nullptr || fwrite(source.data(), 1, source.size(), out) != source.size() || fclose(out) != 0) {
        fprintf(stderr, "picenc: %s: %s\n", out_path, strerror(errno));
        return 1;
    }
    const picture_summary s = summarize(words);
    printf("%s: %zu words (%zu bytes), %zu tokens: %zu runs (%zu skip runs), %zu literals", in_path, words.size(),
           words.size() * 4, s.runs + s.literals, s.runs, s.skip_runs, s.literals);
    if (partly > 0)
        printf("; %zu partly transparent pixels blended over %06lx", partly, background);
    printf("\n");
    return 0;
}
