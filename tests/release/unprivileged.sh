# Without root, as the README's section says: root makes a shared cache
# and copies its builds into it (its lines as written), and an ordinary user
# without a home (nobody, home /nonexistent) runs the Quick start's first
# command with that cache (the user's lines as written; with nothing
# missing, deps.sh installs nothing), then the README's simrx example; the
# simulated receiver comes from a user namespace. Needs root to become that
# user; skips (77) where it is not root or the kernel gives ordinary users
# no namespaces.
#   tests/release/unprivileged.sh
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
suite=unprivileged
. "$top/tests/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "skipped: run as root to test as an ordinary user"; exit 77; }
user=65534
home=$(getent passwd $user | cut -d: -f6)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
mkdir -p "$tmp/tree"
copy_tree "$tmp/tree"
chown -R $user:$user "$tmp/tree"
as_user() {
    setpriv --reuid=$user --regid=$user --clear-groups \
        env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin "$@"
}
# The README's lines with the shared cache in this test's folder, its group
# the user's, and root's own cache wherever root keeps it.
shared=$tmp/cache
lines() {
    local text
    text=$(readme_block "$1")
    text=${text//\/var\/cache\/rxtools/$shared}
    text=${text//-g users/-g $(id -gn $user)}
    printf '%s\n' "${text//\~\/.cache\/rxtools/${RX_CACHE:-$HOME/.cache/rxtools}}"
}
check "the README has root's lines and the user's" test -n "$(lines shared-cache)" -a -n "$(lines without-home)"
for entry in musl builtins; do bash "$top/tools/sources.sh" $entry >/dev/null || exit 1; done
(eval "$(lines shared-cache)") >"$tmp/shared.log" 2>&1
check "root's lines make the shared cache" test $? -eq 0 || cat "$tmp/shared.log"
as_user "$top/tools/sim/simrx" -c 2>"$tmp/why" ||
    { echo "skipped: an ordinary user cannot make the simulated receiver here: $(cat "$tmp/why")"; exit 77; }

(cd "$tmp/tree" && as_user bash -c 'RX_CACHE=$1 bash tools/sources.sh musl' sh "$tmp/none") >"$tmp/none.log" 2>&1
check "without a home or a cache the user is pointed at RX_CACHE" \
    grep -q "^sources: cannot make the cache folder $tmp/none; set RX_CACHE to a folder you may write" "$tmp/none.log"
(cd "$tmp/tree" && as_user bash tools/sources.sh musl) >"$tmp/home.log" 2>&1
check "nor without a cache of one's own ($home)" grep -q "set RX_CACHE to a folder you may write" "$tmp/home.log"
(cd "$tmp/tree" && as_user bash -c "$(lines without-home)") >"$tmp/quickstart.log" 2>&1
check "the Quick start's first command runs as an ordinary user without a home" test $? -eq 0 ||
    tail -20 "$tmp/quickstart.log"
check "and leaves the screenshot it names" grep -q "screenshot of the receiver's screen: $tmp/tree/sim/screen.png" "$tmp/quickstart.log"
check "with the bar on the screen" test -s "$tmp/tree/sim/screen.png"
check "and built nothing again" eval '! grep -q "^sources: building" "$tmp/quickstart.log"'

(cd "$tmp/tree" && as_user env RX_CACHE="$shared" bash -c 'cmake --preset receiver >/dev/null && cmake --build --preset receiver >/dev/null &&
    eval "$1"' sh "$(readme_block simrx-example)") >"$tmp/example.log" 2>&1
check "the README's simrx example runs as an ordinary user" test $? -eq 0 || tail -20 "$tmp/example.log"
check "and paints in MIPS words" grep -q 'big-endian pixel words' "$tmp/example.log"
finish
