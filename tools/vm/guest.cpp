// rxguest: the few things the emulated receiver's init needs that its shell
// cannot do. It runs inside the emulated receiver, never on the box.
//   rxguest mount          proc, sysfs and devtmpfs at /proc, /sys and /dev
//   rxguest screen         sets /dev/fb0 to 720x576, 32 bits a pixel, unblanks
//                          it, and prints the geometry the device reports
//   rxguest hide PATH      renames PATH to PATH.hidden (a missing device)
//   rxguest show PATH      renames it back
//   rxguest wait           waits until the machine is stopped
//   rxguest off            powers the machine off
#include "fb/fb.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/reboot.h>
#include <unistd.h>

static int fail(const char* what)
{
    fprintf(stderr, "rxguest: %s: %s\n", what, strerror(errno));
    return 1;
}

static int mount_all()
{
    if (mount("proc", "/proc", "proc", 0, nullptr) != 0)
        return fail("mount /proc");
    if (mount("sysfs", "/sys", "sysfs", 0, nullptr) != 0)
        return fail("mount /sys");
    if (mount("devtmpfs", "/dev", "devtmpfs", 0, nullptr) != 0)
        return fail("mount /dev");
    return 0;
}

// Nothing on the machine sets the display's mode (no console draws on it),
// so the receiver's geometry is asked for here.
static int set_screen()
{
    const int fd = open(fb_path, O_RDWR);
    if (fd < 0)
        return fail(fb_path);
    fb_var_screeninfo var{};
    if (ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0)
        return fail("FBIOGET_VSCREENINFO");
    var.xres = var.xres_virtual = fb_width;
    var.yres = var.yres_virtual = fb_height;
    var.bits_per_pixel = 32;
    var.xoffset = var.yoffset = 0;
    var.activate = FB_ACTIVATE_NOW | FB_ACTIVATE_FORCE;
    if (ioctl(fd, FBIOPUT_VSCREENINFO, &var) != 0)
        return fail("FBIOPUT_VSCREENINFO");
    (void)ioctl(fd, FBIOBLANK, FB_BLANK_UNBLANK);
    fb_fix_screeninfo fix{};
    if (ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0 || ioctl(fd, FBIOGET_FSCREENINFO, &fix) != 0)
        return fail("FBIOGET_FSCREENINFO");
    printf("fb0: %ux%u, %u bits a pixel, %u bytes a line, %u bytes\n", var.xres, var.yres, var.bits_per_pixel,
           fix.line_length, fix.smem_len);
    return 0;
}

static int rename_to(const char* from, const char* suffix_from, const char* suffix_to)
{
    char a[256], b[256];
    snprintf(a, sizeof a, "%s%s", from, suffix_from);
    snprintf(b, sizeof b, "%s%s", from, suffix_to);
    return rename(a, b) == 0 ? 0 : fail(a);
}

int main(int argc, char** argv)
{
    const char* what = argc > 1 ? argv[1] : "";
    if (strcmp(what, "mount") == 0)
        return mount_all();
    if (strcmp(what, "screen") == 0)
        return set_screen();
    if (strcmp(what, "hide") == 0 && argc == 3)
        return rename_to(argv[2], "", ".hidden");
    if (strcmp(what, "show") == 0 && argc == 3)
        return rename_to(argv[2], ".hidden", "");
    if (strcmp(what, "off") == 0) {
        sync();
        (void)reboot(RB_POWER_OFF);
        return fail("reboot");
    }
    if (strcmp(what, "wait") == 0) {
        for (;;)
            pause();
    }
    fprintf(stderr, "usage: rxguest mount | screen | hide PATH | show PATH | wait | off\n");
    return 2;
}
