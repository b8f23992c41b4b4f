// picenc: turns a 720x576 PNG into the boot picture's source for splash.
#include "encode.hpp"
#include "fb/fb.hpp"
#include "file_out.hpp"
#include "splash/picture.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char usage_text[] = "usage: picenc [--background RRGGBB] [--max-bytes N] [--words] PICTURE.png OUTPUT\n"
                                 "  Encodes PICTURE.png, any PNG of 720x576, as splash's boot picture and\n"
                                 "  writes its C++ source to OUTPUT (splash/pic_data.cpp).\n"
                                 "  --background RRGGBB  blend partly transparent pixels over this colour\n"
                                 "                       (hexadecimal, e.g. 000000 for black); without it such\n"
                                 "                       a picture is refused. Fully transparent pixels are\n"
                                 "                       left as the screen holds them.\n"
                                 "  --max-bytes N        refuse a picture that needs more than N bytes in splash\n"
                                 "  --words              write the picture's words (big-endian) instead of the\n"
                                 "                       source, for paintpic\n"
                                 "  --help               this text\n";

struct options {
    long background = -1;
    long max_bytes = -1;
    bool words = false;
    const char* in_path = nullptr;
    const char* out_path = nullptr;
};

// A usage error: what was wrong, and where the usage is.
static int wrong(const std::string& what)
{
    fprintf(stderr, "picenc: %s (picenc --help for the usage)\n", what.c_str());
    return 2;
}

// Returns -1 when the options are sound, else the status to exit with.
static int parse(int argc, char** argv, options& o)
{
    int arg = 1;
    for (; arg < argc && strncmp(argv[arg], "--", 2) == 0; ++arg) {
        const std::string name = argv[arg];
        if (name == "--help") {
            fputs(usage_text, stdout);
            return 0;
        }
        if (name == "--words") {
            o.words = true;
            continue;
        }
        if (name != "--background" && name != "--max-bytes")
            return wrong("unknown option " + name);
        if (arg + 1 >= argc)
            return wrong(name + " needs a value");
        const char* value = argv[++arg];
        errno = 0;
        if (name == "--background") {
            const bool rrggbb = strlen(value) == 6 && strspn(value, "0123456789abcdefABCDEF") == 6;
            o.background = rrggbb ? strtol(value, nullptr, 16) : -1;
            if (!rrggbb)
                return wrong("--background takes a colour as six hexadecimal digits (RRGGBB), not '" +
                             std::string(value) + "'");
        } else {
            const bool digits = *value != '\0' && strspn(value, "0123456789") == strlen(value);
            o.max_bytes = digits ? strtol(value, nullptr, 10) : -1;
            if (!digits || o.max_bytes <= 0 || errno != 0)
                return wrong("--max-bytes takes a number of bytes, not '" + std::string(value) + "'");
        }
    }
    if (argc - arg != 2)
        return wrong("expected PICTURE.png and OUTPUT, got " + std::to_string(argc - arg) + " argument" +
                     (argc - arg == 1 ? "" : "s"));
    o.in_path = argv[arg];
    o.out_path = argv[arg + 1];
    return -1;
}

// The options that change the encoding, as the generated source records them.
static std::string recorded_options(const options& o)
{
    char text[32] = "";
    if (o.background >= 0)
        snprintf(text, sizeof text, "--background %06lx", o.background);
    return text;
}

static bool write_output(const options& o, const std::vector<std::uint32_t>& words)
{
    std::string bytes;
    if (o.words) {
        for (const std::uint32_t w : words)
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes += static_cast<char>(w >> shift & 0xFF);
    } else {
        bytes = generated_source(words, recorded_options(o), o.in_path, o.out_path);
    }
    std::string why;
    if (!write_whole_file(o.out_path, bytes, why)) {
        fprintf(stderr, "picenc: %s; %s is left as it was\n", why.c_str(), o.out_path);
        return false;
    }
    return true;
}

int main(int argc, char** argv)
{
    options o;
    if (const int status = parse(argc, argv, o); status >= 0)
        return status;

    picture png;
    std::string why;
    const picture_size screen{fb_width, fb_height};
    if (!read_png(o.in_path, png, why, &screen)) {
        fprintf(stderr, "picenc: %s\n", why.c_str());
        return 1;
    }
    const std::size_t partly = partly_transparent(png);
    if (partly > 0 && o.background < 0) {
        fprintf(stderr,
                "picenc: %s: %zu pixels are partly transparent, and the painter cannot blend them with the "
                "screen; give --background RRGGBB to blend them over that colour, or make them opaque or fully "
                "transparent\n",
                o.in_path, partly);
        return 1;
    }
    const std::vector<std::uint32_t> pixels = screen_order(png, o.background < 0 ? 0 : std::uint32_t(o.background));
    const std::vector<std::uint32_t> words = encode_picture(pixels);
    if (!verify_encoding(words, pixels, why)) {
        fprintf(stderr, "picenc: %s: %s\n", o.in_path, why.c_str());
        return 1;
    }
    const std::size_t bytes = words.size() * sizeof words[0];
    if (o.max_bytes > 0 && bytes > static_cast<std::size_t>(o.max_bytes)) {
        fprintf(stderr,
                "picenc: %s: the picture needs %zu bytes in splash, more than --max-bytes %ld; smoothing and "
                "then fewer colours, after the resize (ImageMagick's -blur 0x3 -posterize 8), make it smaller, "
                "fewer colours alone hardly do\n",
                o.in_path, bytes, o.max_bytes);
        return 1;
    }
    if (!write_output(o, words))
        return 1;
    const picture_summary s = summarize(words);
    printf("%s: %zu words, %zu bytes in splash; %zu tokens: %zu runs (%zu skip runs), %zu literals", o.in_path,
           words.size(), bytes, s.runs + s.literals, s.runs, s.skip_runs, s.literals);
    if (partly > 0)
        printf("; %zu partly transparent pixels blended over %06lx", partly, o.background);
    printf("\n");
    return 0;
}
