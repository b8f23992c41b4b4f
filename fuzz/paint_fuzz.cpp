// Arbitrary pictures painted into a screen of arbitrary length: the painter
// reads nothing past the picture and writes nothing past the screen (both are
// allocated to their exact size, so the address checker sees any stray access).
#include "splash/paint.hpp"
#include "splash/picture.hpp"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t screen_words = std::size_t{data[0]} << 8 | data[1];
    std::vector<std::uint32_t> picture((size - 2) / 4);
    if (!picture.empty())
        memcpy(picture.data(), data + 2, picture.size() * 4);
    std::vector<pixel_t> screen(screen_words, 0x5A5A5A5A);

    const std::size_t painted = pic_paint(picture, screen);
    if (painted > screen.size())
        abort();
    const picture_summary s = summarize(picture);
    if (s.well_formed && s.pixels <= screen.size() && painted != s.pixels)
        abort(); // a picture that fits is painted whole
    for (std::size_t i = painted; i < screen.size(); ++i)
        if (screen[i] != 0x5A5A5A5A)
            abort(); // nothing beyond where the painting stopped
    // A picture without skip runs, painted as one known to hold none: the same.
    if (s.skip_runs == 0) {
        std::vector<pixel_t> again(screen_words, 0x5A5A5A5A);
        if (pic_paint(picture, again, false) != painted || again != screen)
            abort();
    }
    return 0;
}
