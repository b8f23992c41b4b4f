#!/usr/bin/env bash
# The source cache is safe to share: in a fresh cache, a build stopped half
# way leaves nothing behind; two builds of one entry at once make it once
# (the second waits for the first) and both print it; it is whole, and no
# temporary folder is left; a later call finds it without building.
#   tests/release/cache.sh
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
suite=cache
. "$top/tests/lib.sh"
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT
sources() { RX_CACHE=$cache bash "$top/tools/sources.sh" musl; }

RX_CACHE=$cache bash "$top/tools/sources.sh" musl >/dev/null 2>"$cache/stopped.err" &
stopped=$!
for ((i = 0; i < 600; i++)); do
    grep -q 'building musl' "$cache/stopped.err" && break
    sleep 0.1
done
kill $stopped
wait $stopped
left=$(cd "$cache" && ls -d musl-* .musl-* 2>/dev/null | grep -v "\.lock$")
check "a stopped build leaves no entry and no temporary folder (${left:-nothing})" test -z "$left"

sources >"$cache/first.out" 2>"$cache/first.err" &
first=$!
sleep 1
sources >"$cache/second.out" 2>"$cache/second.err"
second=$?
wait $first
check "two builds at once both end with status 0" test $? -eq 0 -a $second -eq 0
check "and print the same entry" test -s "$cache/first.out" -a "$(cat "$cache/first.out")" = "$(cat "$cache/second.out")"
check "the second waited for the first" grep -q 'waiting for another build' "$cache/second.err"
check "the entry was built once" test "$(cat "$cache/first.err" "$cache/second.err" | grep -c 'building musl')" -eq 1
prefix=$(cat "$cache/first.out")
check "the entry is whole" test -f "$prefix/lib/libc.a" -a -f "$prefix/include/stdio.h" -a -f "$prefix/COPYRIGHT"
check "no temporary folder is left" test -z "$(cd "$cache" && ls -d .musl-* 2>/dev/null)"
sources >"$cache/third.out" 2>"$cache/third.err"
check "a later call finds it without building" test "$(cat "$cache/third.out")" = "$prefix" -a ! -s "$cache/third.err"
finish
