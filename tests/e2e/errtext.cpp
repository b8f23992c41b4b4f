// errtext NAME: prints the C library's text for an error, so that tests
// compare a program's messages with the library it is linked with.
#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    static const struct {
        const char* name;
        int number;
    } known[] = {{"ENOENT", ENOENT}, {"ENXIO", ENXIO}, {"EISDIR", EISDIR}, {"ENOSPC", ENOSPC},
                 {"EBADF", EBADF},   {"EIO", EIO},     {"ENOMEM", ENOMEM}, {"ENODEV", ENODEV}};
    for (const auto& e : known)
        if (argc == 2 && strcmp(argv[1], e.name) == 0)
            return puts(strerror(e.number)) < 0;
    fprintf(stderr, "usage: errtext ENOENT|ENXIO|EISDIR|ENOSPC|EBADF|EIO|ENOMEM|ENODEV\n");
    return 2;
}
