// picenc: turns a 720x576 PNG into the boot picture's source for splash.
#include "encode.hpp"
#include "fb/fb.hpp"
#include "splash/picture.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: picenc PICTURE.png OUTPUT.cpp\n"
                        "  PICTURE.png: 720x576, 8-bit RGB or RGBA; fully transparent pixels are left\n"
                        "  as the screen holds them\n");
        return 2;
    }
    picture png;
    std::string why;
    if (!read_png(argv[1], png, why)) {
        fprintf(stderr, "picenc: %s\n", why.c_str());
        return 1;
    }
    if (png.width != fb_width || png.height != fb_height) {
        fprintf(stderr, "picenc: %s: the picture is %dx%d, the screen is %dx%d\n", argv[1], png.width, png.height,
                fb_width, fb_height);
        return 1;
    }
    const std::vector<std::uint32_t> words = encode_picture(screen_order(png));
    const std::string source = generated_source(words, argv[1]);
    FILE* out = fopen(argv[2], "w");
    if (out == nullptr || fwrite(source.data(), 1, source.size(), out) != source.size() || fclose(out) != 0) {
        fprintf(stderr, "picenc: %s: %s\n", argv[2], strerror(errno));
        return 1;
    }
    const picture_summary s = summarize(words);
    printf("%s: %zu words (%zu bytes), %zu tokens: %zu runs (%zu skip runs), %zu literals\n", argv[1], words.size(),
           words.size() * 4, s.runs + s.literals, s.runs, s.skip_runs, s.literals);
    return 0;
}
