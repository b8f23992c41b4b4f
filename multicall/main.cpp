// rxtools: runbar, splash and verdump in one program, for a box short of
// flash: one copy of the C library serves all three. It is the program it
// is started as, by the last part of the name it was called by (links
// named runbar, splash and verdump to it), or by its first argument when it
// is called rxtools: rxtools runbar 'job'.
#include "runbar/runner.hpp"
#include "splash/splash.hpp"
#include "verdump/report.hpp"

#include <cstdio>
#include <cstring>

static const char* last_part(const char* name)
{
    const char* slash = strrchr(name, '/');
    return slash != nullptr ? slash + 1 : name;
}

int main(int argc, char** argv)
{
    const char* name = argc > 0 ? last_part(argv[0]) : "";
    if (strcmp(name, "rxtools") == 0 && argc > 1) {
        --argc;
        ++argv;
        name = last_part(argv[0]);
    }
    if (strcmp(name, "runbar") == 0)
        return runbar_main(argc, argv);
    if (strcmp(name, "splash") == 0)
        return splash_main();
    if (strcmp(name, "verdump") == 0)
        return verdump_main();
    fputs("usage: rxtools runbar command | rxtools splash | rxtools verdump\n"
          "  or a link named runbar, splash or verdump to it\n",
          stderr);
    return 2;
}
