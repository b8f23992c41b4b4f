#include "png_io.hpp"

#include "file_out.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace {

struct file_closer {
    FILE* f;
    ~file_closer()
    {
        if (f != nullptr)
            fclose(f);
    }
};

// libpng's own messages are kept for the caller instead of going to stderr.
char png_message[128];

[[noreturn]] void on_png_error(png_structp png, png_const_charp message)
{
    snprintf(png_message, sizeof png_message, "%s", message);
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

} // namespace

bool read_png(const char* path, picture& out, std::string& why, const picture_size* required)
{
    file_closer file{fopen(path, "rb")};
    if (file.f == nullptr) {
        why = std::string(path) + ": " + strerror(errno);
        return false;
    }
    png_byte sig[8] = {};
    if (fread(sig, 1, sizeof sig, file.f) != sizeof sig || png_sig_cmp(sig, 0, sizeof sig) != 0) {
        why = std::string(path) + ": not a PNG file";
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        why = "out of memory";
        return false;
    }
    std::vector<png_bytep> rows;
    std::vector<png_byte> data;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        why = std::string(path) + ": damaged PNG file (" + png_message + ")";
        return false;
    }
    png_init_io(png, file.f);
    png_set_sig_bytes(png, sizeof sig);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (required != nullptr && (int(width) != required->width || int(height) != required->height)) {
        png_destroy_read_struct(&png, &info, nullptr);
        why = std::string(path) + ": the picture is " + std::to_string(width) + "x" + std::to_string(height) +
              ", the screen is " + std::to_string(required->width) + "x" + std::to_string(required->height);
        return false;
    }
    // Every kind of PNG becomes 8-bit RGBA through libpng's own
    // transformations: palettes and small grey depths expanded, a tRNS chunk
    // turned into alpha, 16 bits cut to 8, grey made RGB, opaque alpha added.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    (void)png_set_interlace_handling(png);
    png_read_update_info(png, info);
    data.resize(std::size_t{width} * height * 4);
    rows.reserve(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows.push_back(data.data() + std::size_t{y} * width * 4);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.pixels.resize(std::size_t{width} * height);
    for (std::size_t i = 0; i < out.pixels.size(); ++i)
        out.pixels[i] = rgba{data[4 * i], data[4 * i + 1], data[4 * i + 2], data[4 * i + 3]};
    return true;
}

bool write_png(const char* path, const picture& pic, std::string& why, bool with_alpha)
{
    new_file file;
    if (!file.open(path, why))
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        why = "out of memory";
        return false;
    }
    const std::size_t channels = with_alpha ? 4 : 3;
    std::vector<png_byte> row(static_cast<std::size_t>(pic.width) * channels);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        why = std::string(path) + ": cannot write the PNG file (" + png_message +
              (errno != 0 ? std::string(": ") + strerror(errno) : "") + ")";
        return false;
    }
    errno = 0;
    png_init_io(png, file.stream());
    png_set_IHDR(png, info, static_cast<png_uint_32>(pic.width), static_cast<png_uint_32>(pic.height), 8,
                 with_alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < pic.height; ++y) {
        for (std::size_t x = 0; x < std::size_t(pic.width); ++x) {
            const rgba& p = pic.pixels[static_cast<std::size_t>(y) * pic.width + x];
            png_byte* at = row.data() + channels * x;
            at[0] = p.r;
            at[1] = p.g;
            at[2] = p.b;
            if (with_alpha)
                at[3] = p.a;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file.commit(why);
}
