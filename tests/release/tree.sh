#!/usr/bin/env bash
# A tree as users have it. In a folder whose path has blanks, with TMPDIR
# and the cache reached by paths with blanks, the release builds, and the
# emulated receiver runs a script, takes a screenshot and puts a file, all
# given by such paths. Then the same tree follows its toolchain: after the
# flags and musl change, a reconfigure renews the compile commands, the link
# and what is installed, and the tree builds again.
#   tests/release/tree.sh
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
suite=tree
. "$top/tests/lib.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

tree="$tmp/a tree/rx tools"
mkdir -p "$tree" "$tmp/temp dir"
copy_tree "$tree"
musl=$(bash "$top/tools/sources.sh" musl) || exit 1
ln -s "$(dirname "$(dirname "$musl")")" "$tmp/the cache"
export TMPDIR="$tmp/temp dir" RX_CACHE="$tmp/the cache"
cd "$tree" || exit 1

{ cmake --preset receiver && cmake --build --preset receiver; } >"$tmp/release.log" 2>&1
check "the release builds in a folder with blanks" test $? -eq 0 || tail -20 "$tmp/release.log"
{ cmake --preset native && cmake --build --preset native --target mksample; } >"$tmp/native.log" 2>&1
check "and the PC's tools" test $? -eq 0 || tail -20 "$tmp/native.log"

printf 'splash\nverdump | head -1\ncat /tmp/update.img\n' >"$tmp/my script.sh"
echo "an update image" >"$tmp/an update.img"
tools/vm/rxvm -s "$tmp/my script.sh" -o "$tmp/my shots/boot.png" -f "$tmp/an update.img:/tmp/update.img" \
    </dev/null >"$tmp/rxvm.out" 2>&1
status=$?
if [ $status -ne 77 ]; then
    check "rxvm runs a script from a path with blanks" test $status -eq 0 || tail -20 "$tmp/rxvm.out"
    check "its screenshot lands on a path with blanks" test -s "$tmp/my shots/boot.png"
    check "a file from a path with blanks is on the receiver" grep -q "^an update image" "$tmp/rxvm.out"
    check "rxvm leaves nothing in TMPDIR" test -z "$(ls -A "$tmp/temp dir")"
fi

# Other flags and another musl (the same files, by another path with blanks).
other="$tmp/other musl"
mkdir -p "$other"
ln -s "$musl/include" "$other/include"
ln -s "$musl/lib" "$other/lib"
cp "$musl/COPYRIGHT" "$other/COPYRIGHT"
sed -i 's/^set(RX_ARCH_FLAGS -march=mips32 -fno-pie)$/set(RX_ARCH_FLAGS -march=mips32 -fno-pie -DRX_NEW_FLAG)/' \
    cmake/mips-linux-musl.cmake
RX_MUSL=$other cmake --preset receiver >"$tmp/again.log" 2>&1
check "the tree reconfigures after its toolchain changed" test $? -eq 0 || tail -20 "$tmp/again.log"
commands=build/receiver/compile_commands.json
check "the compile commands take the new flags" grep -q -- '-DRX_NEW_FLAG' "$commands"
check "and the new musl's headers" grep -qF -- "-isystem \\\"$other/include\\\"" "$commands"
check "and no longer the old musl's" test "$(grep -cF -- "$musl/include" "$commands")" -eq 0
check "the link takes the new musl's libc.a" grep -qF "\"$other/lib/libc.a\"" build/receiver/runbar/CMakeFiles/runbar.dir/link.txt
check "the install packs the new musl's COPYRIGHT" grep -qF "$other/COPYRIGHT" build/receiver/cmake_install.cmake
RX_MUSL=$other cmake --build --preset receiver >"$tmp/rebuild.log" 2>&1
check "and the tree builds again" test $? -eq 0 || tail -20 "$tmp/rebuild.log"
finish
