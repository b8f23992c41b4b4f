#!/usr/bin/env bash
# The project as a firmware build system takes it, both ways: with a plain
# toolchain file (the compilers and a find root, no preset), which decides
# the C library and the processor itself, and with the project's musl
# toolchain file, for the static release 1 programs. Each is configured for
# prefix /usr, built, and installed into a staging folder with DESTDIR. The
# staging folder holds the three programs in usr/bin and the box's README in
# usr/share/doc/rxtools (with musl's COPYRIGHT exactly where musl is
# linked), nothing else; no test is built for the target; and what the
# README says of the build is what the binaries are.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
suite=firmware
. "$top/tests/lib.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat >"$tmp/toolchain.cmake" <<'CMAKE'
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(CMAKE_C_COMPILER mips-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mips-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/mips-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
CMAKE

# readme_says WAY PATTERN: the staged README holds the words.
readme_says() { grep -q -- "$2" "$tmp/$1/stage/usr/share/doc/rxtools/README"; }

# The musl way is the README's own lines, run as written from the folder
# that holds a copy of the tree named rxtools; the plain way the same with
# the plain toolchain file.
recipe=$(readme_block firmware-build)
check "the README has the firmware build's lines" test -n "$recipe"
for way in plain musl; do
    b=$tmp/$way
    mkdir -p "$b/rxtools"
    copy_tree "$b/rxtools"
    case $way in
        plain) lines=${recipe//'$PWD/rxtools/cmake/mips-linux-musl.cmake'/$tmp/toolchain.cmake} extra= ;;
        musl) lines=$recipe extra=" ./usr/share/doc/rxtools/COPYRIGHT.musl" ;;
    esac
    if ! (cd "$b" && export STAGING=$b/stage CMAKE_BUILD_PARALLEL_LEVEL=$(nproc) && eval "$lines") >"$b.log" 2>&1; then
        tail -20 "$b.log"
        check "$way: the build configures, builds and installs" false
        continue
    fi
    installed=$(cd "$b/stage" && find . -type f | sort | tr '\n' ' ')
    want=$(printf '%s\n' ./usr/bin/runbar ./usr/bin/splash ./usr/bin/verdump ./usr/share/doc/rxtools/README $extra | sort | tr '\n' ' ')
    check "$way: installed with DESTDIR: $installed" test "$installed" = "$want"
    check "$way: no tests built for the target" test ! -e "$b/build/tests/bar_test"
    for p in runbar splash verdump; do
        f=$b/stage/usr/bin/$p
        isa=$(readelf -A "$f" | sed -n 's/^ISA: *//p')
        fp=$(readelf -A "$f" | sed -n 's/^FP ABI: *//p')
        case $isa in
            MIPS32) check "$way: $p is MIPS32 release 1, and the README says so" readme_says $way "processor: MIPS32 release 1," ;;
            MIPS32r2) check "$way: $p is MIPS32 release 2, and the README says so" readme_says $way "processor: MIPS32 release 2," ;;
            *) check "$way: $p is of a MIPS32 release ($isa)" false ;;
        esac
        case $fp in
            "Soft float") check "$way: $p is soft-float, and the README says so" readme_says $way "soft-float" ;;
            *) check "$way: $p is hard-float ($fp), and the README says so" readme_says $way "hard-float" ;;
        esac
        if readelf -l "$f" | grep -q INTERP; then
            check "$way: $p is linked dynamically, and the README says so" readme_says $way "linked dynamically"
        else
            check "$way: $p is static, and the README says so" readme_says $way "linked .*statically"
        fi
    done
done
check "musl: the static release 1 programs, soft-float" \
    eval '! readelf -l "$tmp/musl/stage/usr/bin/verdump" | grep -q INTERP &&
        readelf -A "$tmp/musl/stage/usr/bin/verdump" | grep -q "^ISA: MIPS32$" && readme_says musl "musl, linked fully statically"'
check "plain: the README shows the way to the static release 1 programs" readme_says plain "cmake/mips-linux-musl.cmake"
kernel=$(readelf -n "$tmp/plain/stage/usr/bin/runbar" | sed -n 's/.*OS: Linux, ABI: //p')
check "plain: the README names the oldest kernel glibc runs on ($kernel)" readme_says plain "Linux $kernel or later"
check "plain: and the glibc it was linked with" readme_says plain "glibc 2\.[0-9]* or later and its program interpreter"

# Where firmware build systems put the processor's flags: in the compiler's
# variable after its name (CMAKE_CXX_COMPILER_ARG1), in a launcher, in the
# flags of the build type. Configured only: the README is made then.
printf '#!/bin/sh\nexec "$@" -msoft-float\n' >"$tmp/launcher" && chmod +x "$tmp/launcher"
readme_of() { sed -n 's/^- processor: //p' "$tmp/$1/README.receiver"; }
grep -v _COMPILER "$tmp/toolchain.cmake" >"$tmp/toolchain-env.cmake" # the compilers from CC and CXX
(cd "$tmp" && CC="mips-linux-gnu-gcc -march=mips32" CXX="mips-linux-gnu-g++ -march=mips32" cmake -S "$top" -B arg1 \
    -DCMAKE_TOOLCHAIN_FILE="$tmp/toolchain-env.cmake" -DCMAKE_CXX_COMPILER_LAUNCHER="$tmp/launcher" >/dev/null 2>&1)
check "the compiler's own argument and a launcher are read: $(readme_of arg1)" \
    grep -q '^- processor: MIPS32 release 1, soft-float' "$tmp/arg1/README.receiver"
(cd "$tmp" && cmake -S "$top" -B config -DCMAKE_TOOLCHAIN_FILE="$tmp/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -march=mips32 -msoft-float" >/dev/null 2>&1)
check "the build type's flags are read: $(readme_of config)" \
    grep -q '^- processor: MIPS32 release 1, soft-float' "$tmp/config/README.receiver"
(cd "$tmp" && cmake -S "$top" -B pc -DBUILD_TESTING=OFF >/dev/null 2>&1)
check "a build for the PC has no box README and installs none" \
    eval '[ -e "$tmp/pc/cmake_install.cmake" ] && [ ! -e "$tmp/pc/README.receiver" ] && ! grep -q README "$tmp/pc/cmake_install.cmake"'
finish
