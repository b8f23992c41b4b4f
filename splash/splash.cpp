#include "splash.hpp"

#include "fb/fb.hpp"
#include "paint.hpp"
#include "pic.hpp"

#include <sys/mman.h>

int splash_main()
{
    const int fd = fb_open();
    // Keeps the picture resident while it is painted; painting goes on without it.
    (void)mlock(pic, pic_length * sizeof pic[0]);
    pixel_t* screen = fb_map(fd);
    pic_paint({pic, pic_length}, {screen, fb_words}, pic_skips);
    return 0;
}
