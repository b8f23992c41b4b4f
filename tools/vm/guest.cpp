// rxguest: the few things the emulated receiver's init needs that its shell
// cannot do. It runs inside the emulated receiver, never on the box.
//   rxguest mount          proc, sysfs and devtmpfs at /proc, /sys and /dev
//   rxguest screen [W H]   sets /dev/fb0 to W x H (default 720x576), 32 bits a
//                          pixel, unblanks it, and prints the geometry the
//                          device reports
//   rxguest upto N PROGRAM [ARG...]
//                          runs PROGRAM with an old kernel's system calls:
//                          every o32 call numbered above N answers ENOSYS, in
//                          PROGRAM and in all it starts (o32 calls are
//                          numbered in the order Linux added them)
//   rxguest nosys N        calls system call N without arguments: status 0
//                          when it answers ENOSYS, 1 otherwise
//   rxguest hide PATH      renames PATH to PATH.hidden (a missing device)
//   rxguest show PATH      renames it back
//   rxguest mark           executes the no-op "ori $0, $0, 0x5254", which the
//                          kernel's cost meter (bench/mode_meter.cpp) counts between
//   rxguest shell TTY      an interactive shell in a session of its own, with
//                          TTY as its controlling terminal, so that Ctrl-C
//                          reaches what it runs (/dev/console can be none)
//   rxguest wait           waits until the machine is stopped
//   rxguest off            powers the machine off
#include "fb/fb.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/fb.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/reboot.h>
#include <sys/syscall.h>
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
static int set_screen(unsigned width, unsigned height)
{
    const int fd = open(fb_path, O_RDWR);
    if (fd < 0)
        return fail(fb_path);
    fb_var_screeninfo var{};
    if (ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0)
        return fail("FBIOGET_VSCREENINFO");
    var.xres = var.xres_virtual = width;
    var.yres = var.yres_virtual = height;
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

// A seccomp filter: o32 calls above the line answer ENOSYS, the rest run;
// calls of any other ABI end the process.
static int run_upto(unsigned last, char** argv)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_MIPS, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, last, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog filter{sizeof code / sizeof code[0], code};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return fail("PR_SET_NO_NEW_PRIVS");
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
        return fail("PR_SET_SECCOMP");
    execvp(argv[0], argv);
    return fail(argv[0]);
}

// A whole decimal number of 0 to max and nothing else, or -1.
static long number(const char* text, long max)
{
    if (text[0] < '0' || text[0] > '9')
        return -1;
    char* end = nullptr;
    errno = 0;
    const long n = strtol(text, &end, 10);
    return *end != '\0' || errno != 0 || n > max ? -1 : n;
}

static int shell_on(const char* tty)
{
    if (setsid() < 0)
        return fail("setsid");
    const int fd = open(tty, O_RDWR); // a session's first terminal becomes its own
    if (fd < 0)
        return fail(tty);
    (void)ioctl(fd, TIOCSCTTY, 0);
    for (int i = 0; i < 3; ++i)
        if (dup2(fd, i) < 0)
            return fail("dup2");
    if (fd > 2)
        close(fd);
    execl("/bin/sh", "sh", "-i", static_cast<char*>(nullptr));
    return fail("/bin/sh");
}

static int usage()
{
    fprintf(stderr, "usage: rxguest mount | screen [W H] | upto N PROGRAM [ARG...] | nosys N | hide PATH | show PATH"
                    " | mark | shell TTY | wait | off\n");
    return 2;
}

static int answers_nosys(long number)
{
    const long r = syscall(number, 0, 0, 0, 0);
    if (r == -1 && errno == ENOSYS)
        return 0;
    printf("system call %ld answered %ld (%s)\n", number, r, r == -1 ? strerror(errno) : "no error");
    return 1;
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
    if (strcmp(what, "screen") == 0 && argc == 2)
        return set_screen(fb_width, fb_height);
    if (strcmp(what, "screen") == 0 && argc == 4) {
        const long w = number(argv[2], 65535), h = number(argv[3], 65535);
        return w > 0 && h > 0 ? set_screen(unsigned(w), unsigned(h)) : usage();
    }
    if (strcmp(what, "upto") == 0 && argc >= 4) {
        const long last = number(argv[2], 0x7FFFFFFF);
        return last >= 0 ? run_upto(unsigned(last), argv + 3) : usage();
    }
    if (strcmp(what, "nosys") == 0 && argc == 3) {
        const long n = number(argv[2], 0x7FFFFFFF);
        return n >= 0 ? answers_nosys(n) : usage();
    }
    if (strcmp(what, "hide") == 0 && argc == 3)
        return rename_to(argv[2], "", ".hidden");
    if (strcmp(what, "show") == 0 && argc == 3)
        return rename_to(argv[2], ".hidden", "");
    if (strcmp(what, "off") == 0) {
        sync();
        (void)reboot(RB_POWER_OFF);
        return fail("reboot");
    }
    if (strcmp(what, "mark") == 0) {
        __asm__ volatile("ori $0, $0, 0x5254");
        return 0;
    }
    if (strcmp(what, "shell") == 0 && argc == 3)
        return shell_on(argv[2]);
    if (strcmp(what, "wait") == 0) {
        for (;;)
            pause();
    }
    return usage();
}
