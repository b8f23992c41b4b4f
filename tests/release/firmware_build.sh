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

for way in plain musl; do
    case $way in
        plain) toolchain=$tmp/toolchain.cmake extra= ;;
        musl) toolchain=$top/cmake/mips-linux-musl.cmake extra=" ./usr/share/doc/rxtools/COPYRIGHT.musl" ;;
    esac
    b=$tmp/$way
    if ! { cmake -S "$top" -B "$b/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX=/usr \
        -DCMAKE_BUILD_TYPE=MinSizeRel && cmake --build "$b/build" -j "$(nproc)" &&
        DESTDIR="$b/stage" cmake --install "$b/build" --strip; } >"$b.log" 2>&1; then
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
finish
