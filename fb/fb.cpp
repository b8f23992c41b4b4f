#include "fb.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

int fb_open() { return open(fb_path, O_RDWR | O_CLOEXEC); }

// A plain file standing in for the device (the simulated receiver) must hold
// the whole picture: a store past its end would raise SIGBUS.
static bool too_short(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < static_cast<off_t>(fb_bytes);
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
