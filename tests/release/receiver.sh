#!/usr/bin/env bash
# The release (the receiver preset: static on musl) under qemu-mips in the
# simulated receiver: the end-to-end tests of all three programs, also
# through their links to the one-program build (rxtools); no program
# interpreter and no dynamic section; and on the sample data the same report
# and the same screen as the glibc build (build/mips) gives, and rxtools; the
# README's simrx example as written.
set -u
cd "$(dirname "$0")/../.."
release=build/receiver
glibc=build/mips
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
multi=$release/multicall # the one-program build: links named as the programs, NAME/NAME
for p in runbar splash verdump; do
    echo "receiver: end-to-end tests of $p"
    bash tests/e2e/$p.sh "$release/$p/$p" "$work/e2e-$p" | grep -E '^(FAILED|e2e|skipped)'
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    echo "receiver: end-to-end tests of $p, through its link to rxtools"
    [ "$(readlink "$multi/$p/$p")" = ../rxtools ] || { echo "FAILED: $multi/$p/$p is no link to rxtools"; status=1; }
    bash tests/e2e/$p.sh "$multi/$p/$p" "$work/e2e-multi-$p" | grep -E '^(FAILED|e2e|skipped)'
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    if readelf -l "$release/$p/$p" | grep -q INTERP || ! readelf -d "$release/$p/$p" | grep -q 'no dynamic section'; then
        echo "FAILED: $p needs a program interpreter or has a dynamic section"
        status=1
    fi
done

for build in $release $glibc $multi; do
    bash tests/release/sample_run.sh $build "$work/same-$(basename $build)" || { echo "FAILED: $build on the sample data"; status=1; }
done
for other in mips multicall; do
    cmp "$work/same-receiver/report" "$work/same-$other/report" || { echo "FAILED: the reports differ ($other)"; status=1; }
    cmp "$work/same-receiver/dev/fb0" "$work/same-$other/dev/fb0" || { echo "FAILED: the screens differ ($other)"; status=1; }
done
# rxtools by its own name, with the program's name as its first argument.
[ "$(qemu-mips "$multi/rxtools" verdump 2>&1)" = "$(qemu-mips "$release/verdump/verdump" 2>&1)" ] ||
    { echo "FAILED: rxtools verdump is not verdump"; status=1; }
qemu-mips "$multi/rxtools" 2>"$work/usage"
[ $? -eq 2 ] && grep -q '^usage: rxtools runbar command | rxtools splash | rxtools verdump$' "$work/usage" ||
    { echo "FAILED: rxtools by itself gives its usage and status 2"; status=1; }
# The README's simrx example, as written, in a scratch tree that shares this
# one's tools and builds: the screen is the tree's sim/root, in MIPS words.
. tests/lib.sh
mkdir -p "$work/tree"
ln -s "$PWD/tools" "$work/tree/tools"
ln -s "$PWD/build" "$work/tree/build"
(cd "$work/tree" && eval "$(readme_block simrx-example)") >"$work/example.out" 2>&1 ||
    { cat "$work/example.out"; echo "FAILED: the README's simrx example"; status=1; }
grep -q 'big-endian pixel words' "$work/example.out" && [ -s "$work/tree/screen.png" ] ||
    { echo "FAILED: the README's simrx example paints the tree's sim/root in MIPS words"; status=1; }

[ $status -eq 0 ] && echo "receiver: the release passes, and gives glibc's report and screen on the sample data"
exit $status
