#include "fb.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

int fb_open() { return open(fb_path, O_RDWR | O_CLOEXEC); }

// A device that holds less than one frame cannot be drawn on: a store past
// its end raises SIGBUS, and a driver may well map more than it holds (the
// simulated receiver's plain file is the same). The frame's last byte tells:
// end of file there means the device is too short. A read that fails says
// nothing, and the mapping decides as before.
static bool too_short(int fd)
{
    unsigned char last = 0;
    return pread(fd, &last, 1, fb_bytes - 1) == 0;
}

pixel_t* fb_map(int fd)
{
    void* base = MAP_FAILED;
    if (too_short(fd))
        errno = ENXIO;
    else
        base = mmap(nullptr, fb_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        perror("mmap");
        exit(1);
    }
    return static_cast<pixel_t*>(base);
}
