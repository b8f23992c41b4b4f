#!/usr/bin/env bash
# The source cache is safe to share: in a fresh cache, a build stopped half
# way, or killed outright, leaves nothing behind, and a later build removes
# what builds killed with their watcher left; two builds of one entry at once make it once
# (the second waits for the first) and both print it; it is whole, and no
# temporary folder is left; a later call finds it without building; a
# leftover of another user's is left as it is, and the build goes on.
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
    grep -q 'building musl' "$cache/stopped.err" 2>/dev/null && break
    sleep 0.1
done
kill $stopped
wait $stopped
check "a stopped build ends as a program stopped by SIGTERM does (status $?)" test $? -eq 143
left=$(cd "$cache" && ls -d musl-* .musl-* 2>/dev/null | grep -v "\.lock$")
check "and leaves no entry and no temporary folder (${left:-nothing})" test -z "$left"

# Killed outright, alone or with its whole process group (as timeout and a
# CI's end kill), no trap runs: its watcher stops the build's processes and
# removes its folder within seconds.
working() { for p in /proc/[0-9]*; do readlink "$p/cwd"; done 2>/dev/null | grep -c "^$cache/"; }
for target in '$killed' '-- -$killed'; do
    RX_CACHE=$cache setsid bash "$top/tools/sources.sh" musl >/dev/null 2>"$cache/killed.err" &
    killed=$!
    for ((i = 0; i < 600; i++)); do
        grep -q 'building musl' "$cache/killed.err" && [ "$(working)" -gt 0 ] && break
        sleep 0.1
    done
    sleep 3 # well into the compiler's work
    entry=$(cd "$cache" && ls -d .musl-* | sed 's/^\.//; s/\.[^.]*$//')
    eval "kill -KILL $target"
    wait $killed 2>/dev/null
    # The watcher looks twice a second; the build itself would take longer.
    for ((i = 0; i < 40; i++)); do
        [ "$(working)" -eq 0 ] && [ -z "$(cd "$cache" && ls -d .musl-* 2>/dev/null)" ] && break
        sleep 0.1
    done
    check "a build killed outright (kill -KILL $target) leaves no process ($(working) working in the cache)" test "$(working)" -eq 0
    check "and no temporary folder" test -z "$(cd "$cache" && ls -d .musl-* 2>/dev/null)"
done

# What builds killed with their watcher left: the next build removes the
# folders whose entry's lock nobody holds, and leaves a build under way.
mkdir "$cache/.$entry.AAAAAA" "$cache/.other-1-0.BBBBBB" "$cache/.held-1-0.CCCCCC"
(exec 7>>"$cache/held-1-0.lock" && flock 7 && exec sleep 600) &
holder=$!
trap 'kill $holder 2>/dev/null; rm -rf "$cache"' EXIT

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
check "what killed builds left is gone, a build under way is not" \
    test ! -e "$cache/.other-1-0.BBBBBB" -a -d "$cache/.held-1-0.CCCCCC"
kill $holder
sources >"$cache/third.out" 2>"$cache/third.err"
check "a later call finds it without building" test "$(cat "$cache/third.out")" = "$prefix" -a ! -s "$cache/third.err"

# A shared cache where another user's killed build left a folder this user
# may not remove: that is said once, and the build goes on beside it.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    shared=$(mktemp -d) && chmod 755 "$shared" && mkdir -m 777 "$shared/cache" && cp "$top/tools/sources.sh" "$shared/"
    trap 'rm -rf "$cache" "$shared"' EXIT
    left=$shared/cache/.musl-1-0.DDDDDD
    mkdir -p "$left/in" && : >"$left/in/file"
    setpriv --reuid=65534 --regid=65534 --clear-groups env RX_CACHE="$shared/cache" bash "$shared/sources.sh" musl \
        >/dev/null 2>"$shared/err" &
    user=$!
    for ((i = 0; i < 600; i++)); do
        grep -q "building musl" "$shared/err" 2>/dev/null && break
        kill -0 $user 2>/dev/null || break
        sleep 0.1
    done
    kill $user 2>/dev/null
    wait $user
    check "another user's leftover is said once and left, and the build goes on: $(head -3 "$shared/err")" eval '
        [ "$(grep -c . "$shared/err")" -eq 2 ] && [ -d "$left/in" ] &&
        grep -qx "sources: cannot remove what a killed build left, $left (not yours to remove); building beside it" "$shared/err" &&
        grep -q "^sources: building musl" "$shared/err"'
fi
finish
