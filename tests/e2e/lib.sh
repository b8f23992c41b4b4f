# Helpers for end-to-end runs of a real program in the simulated receiver.
# Sourced with the program's path and a fresh folder for the receiver's root.
set -u
prog=$1
root=$2
simrx=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools/sim" && pwd)/simrx
fb=$root/dev/fb0
suite=e2e
. "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

"$simrx" -c || { echo "skipped: the simulated receiver cannot run here"; exit 77; }
rm -rf "$root"
mkdir -p "$root"

# Pixel words in the frame-buffer file are in the program's own byte order.
case $(od -An -tx1 -j5 -N1 "$prog" | tr -d ' ') in
    02) endian=big ;;
    *) endian=little ;;
esac

sim() { "$simrx" -r "$root" "$@"; }

# errtext NAME: the text of that error in the C library the program is linked
# with (glibc and musl word some errors differently).
errtext() { "$simrx" -n -r "$root" "$(dirname "$(realpath "$prog")")/../tests/errtext" "$@"; }

# word INDEX [FILE]: the pixel word at that index, as eight hex digits.
word() { od -An -tx4 --endian="$endian" -j $(($1 * 4)) -N4 "${2:-$fb}" | tr -d ' '; }

# pixel X FIELD_LINE FIELD [FILE]
pixel() { word $(($3 * 207360 + $2 * 720 + $1)) "${4:-}"; }

# inject CALL PATTERN ERROR PROGRAM [ARG...]: runs the program (already in
# /opt/bin) in the simulated receiver under strace, with the first CALL whose
# trace line matches PATTERN (an ERE, on a normal run's trace) failing with
# ERROR (or returning what retval=N says), from the same screen as the normal run; its output and messages go
# to $root/out and $root/err, and it returns the program's status. 77 when strace cannot watch the program (a
# MIPS program runs inside qemu-mips) or is missing.
inject() {
    local call=$1 pattern=$2 error=error=$3 k
    case $3 in retval=*) error=$3 ;; esac
    shift 3
    [ "$endian" = little ] && command -v strace >/dev/null || return 77
    # LeakSanitizer cannot run under strace (the sanitizer build).
    local asan=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
    cp "$fb" "$root/screen.before"
    ASAN_OPTIONS=$asan sim /usr/bin/strace -o /tmp/normal.trace -e trace="$call" "$@" >/dev/null 2>&1
    cp "$root/screen.before" "$fb"
    # The occurrence among the call's own lines (signals and the exit have lines too).
    k=$(grep -E "^$call\(" "$root/tmp/normal.trace" | grep -n -m1 -E "$pattern" | cut -d: -f1)
    [ -n "$k" ] || { echo "no $call matching $pattern in the normal run" >"$root/err"; return 125; }
    ASAN_OPTIONS=$asan sim /usr/bin/strace -o /tmp/injected.trace -e trace="$call" -e inject="$call:$error:when=$k" "$@" \
        >"$root/out" 2>"$root/err"
}
