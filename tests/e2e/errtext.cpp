// errtext NAME: prints the C library's text for an error, so that tests
// compare a program's messages with the library it is linked with.
// errtext pauses UNITS: the pauses, in microseconds, that runbar's completion
// of a bar at UNITS of 1000 makes with that library's unseeded generator.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "pauses") == 0) {
        for (long units = atol(argv[2]); units < 1000;) {
            units += rand() % 2000;
            printf("%d\n", rand() % 300000 + 10000);
        }
        return 0;
    }
    static const struct {
        const char* name;
        int number;
    } known[] = {{"ENOENT", ENOENT}, {"ENXIO", ENXIO},   {"EISDIR", EISDIR}, {"ENOSPC", ENOSPC}, {"EBADF", EBADF},
                 {"EIO", EIO},       {"ENOMEM", ENOMEM}, {"ENODEV", ENODEV}, {"EFBIG", EFBIG}};
    for (const auto& e : known)
        if (argc == 2 && strcmp(argv[1], e.name) == 0)
            return puts(strerror(e.number)) < 0;
    fprintf(stderr, "usage: errtext ENOENT|ENXIO|EISDIR|ENOSPC|EBADF|EIO|ENOMEM|ENODEV|EFBIG | errtext pauses UNITS\n");
    return 2;
}
