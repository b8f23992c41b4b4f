#!/usr/bin/env bash
# The project as a firmware build system takes it: a plain toolchain file
# (the compilers and a find root, no preset), configured for prefix /usr,
# built, and installed into a staging folder with DESTDIR. The staging folder
# holds the three programs in usr/bin and the box's README in
# usr/share/doc/rxtools, nothing else; no test is built for the target.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
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
status=0
if ! { cmake -S "$top" -B "$tmp/build" -DCMAKE_TOOLCHAIN_FILE="$tmp/toolchain.cmake" -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_BUILD_TYPE=MinSizeRel && cmake --build "$tmp/build" -j "$(nproc)" &&
    DESTDIR="$tmp/stage" cmake --install "$tmp/build" --strip; } >"$tmp/log" 2>&1; then
    tail -20 "$tmp/log"
    echo "FAILED: the plain toolchain build did not configure, build and install"
    exit 1
fi
installed=$(cd "$tmp/stage" && find . -type f | sort | tr '\n' ' ')
want="./usr/bin/runbar ./usr/bin/splash ./usr/bin/verdump ./usr/share/doc/rxtools/README "
if [ "$installed" = "$want" ]; then
    echo "ok: installed with DESTDIR: $installed"
else
    echo "FAILED: installed $installed; want $want"
    status=1
fi
for p in runbar splash verdump; do
    machine=$(readelf -h "$tmp/stage/usr/bin/$p" | sed -n 's/ *Machine: *//p')
    [ "$machine" = "MIPS R3000" ] || { echo "FAILED: $p is built for $machine"; status=1; }
done
if [ -e "$tmp/build/tests" ]; then
    echo "FAILED: the tests were built for the target without being asked for"
    status=1
else
    echo "ok: no tests built for the target (BUILD_TESTING is off without an emulator)"
fi
exit $status
