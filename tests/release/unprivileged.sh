#!/usr/bin/env bash
# Without root: an ordinary user (nobody) with a copy of the tree, a home of
# its own and a cache that root's builds were copied into, runs the Quick
# start's first command (with nothing missing, deps.sh installs nothing)
# and the README's simrx example as written; the simulated receiver comes
# from a user namespace. Needs root to become that user; skips (77) where
# it is not root or the kernel gives ordinary users no namespaces.
#   tests/release/unprivileged.sh
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
suite=unprivileged
. "$top/tests/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "skipped: run as root to test as an ordinary user"; exit 77; }
user=65534
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
mkdir -p "$tmp/tree" "$tmp/home" "$tmp/cache"
copy_tree "$tmp/tree"
for entry in musl builtins qemu-plugin; do
    prefix=$(bash "$top/tools/sources.sh" $entry) || exit 1
    cp -a "$(dirname "$prefix")" "$tmp/cache/"
done
chown -R $user:$user "$tmp/tree" "$tmp/home" "$tmp/cache"
as_user() {
    setpriv --reuid=$user --regid=$user --clear-groups \
        env -i HOME="$tmp/home" PATH=/usr/local/bin:/usr/bin:/bin RX_CACHE="$tmp/cache" "$@"
}
as_user "$top/tools/sim/simrx" -c 2>"$tmp/why" ||
    { echo "skipped: an ordinary user cannot make the simulated receiver here: $(cat "$tmp/why")"; exit 77; }

(cd "$tmp/tree" && as_user bash tools/quickstart) >"$tmp/quickstart.log" 2>&1
check "the Quick start's first command runs as an ordinary user" test $? -eq 0 || tail -20 "$tmp/quickstart.log"
check "and leaves the screenshot it names" grep -q "screenshot of the receiver's screen: $tmp/tree/sim/screen.png" "$tmp/quickstart.log"
check "with the bar on the screen" test -s "$tmp/tree/sim/screen.png"

(cd "$tmp/tree" && as_user bash -c 'cmake --preset receiver >/dev/null && cmake --build --preset receiver >/dev/null &&
    eval "$1"' sh "$(readme_block simrx-example)") >"$tmp/example.log" 2>&1
check "the README's simrx example runs as an ordinary user" test $? -eq 0 || tail -20 "$tmp/example.log"
check "and paints in MIPS words" grep -q 'big-endian pixel words' "$tmp/example.log"
finish
