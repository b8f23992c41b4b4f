#!/usr/bin/env bash
# The release's programs on a booted big-endian MIPS kernel (tools/vm/rxvm),
# against the same programs in the simulated receiver: the device's geometry,
# the statuses, verdump's report byte for byte, the display pixel for pixel
# (as stored, one field above the other, as the display shows the buffer),
# and the "mmap" report without a frame-buffer device.
#   tests/release/boot.sh [BUILD]     default: build/receiver
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/receiver}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
suite=boot
. "$top/tests/lib.sh"

job=$(bash "$top/tests/release/sample_run.sh" --job)
cat >"$work/script" <<SH
splash; echo "rxvm: status splash \$?"
runbar '$job'; echo "rxvm: status runbar \$?"
echo "rxvm: report begins"; verdump; s=\$?; echo "rxvm: report ends"; echo "rxvm: status verdump \$s"
rxguest hide /dev/fb0
runbar true; echo "rxvm: status runbar without a device \$?"
splash; echo "rxvm: status splash without a device \$?"
rxguest show /dev/fb0
SH
# The kernel and the shell, built once: their progress shows here.
if command -v qemu-system-mips >/dev/null; then
    bash "$top/tools/sources.sh" kernel >/dev/null && bash "$top/tools/sources.sh" dash >/dev/null || exit 1
fi
"$top/tools/vm/rxvm" -p "$build" -s "$work/script" -o "$work/display.png" -t 300 </dev/null >"$work/console.raw" 2>&1
status=$?
tr -d '\r' <"$work/console.raw" >"$work/console"
if [ $status -eq 77 ]; then
    grep '^rxvm: cannot boot' "$work/console"
    exit 77
fi
check "the emulated receiver boots and runs the script" test $status -eq 0 || { tail -30 "$work/console"; exit 1; }
console() { grep -x -- "$1" "$work/console" >/dev/null; }
check "the device is 720x576, 32 bits a pixel, 2,880 bytes a line" \
    grep -q '^rxvm: fb0: 720x576, 32 bits a pixel, 2880 bytes a line' "$work/console"
for p in splash runbar verdump; do check "$p exits 0" console "rxvm: status $p 0"; done
check "runbar without a device exits 1" console "rxvm: status runbar without a device 1"
check "splash without a device exits 1" console "rxvm: status splash without a device 1"
check "both give the mmap report" test "$(grep -c '^mmap: ' "$work/console")" -eq 2

# The same programs and data in the simulated receiver.
root=$work/sim
bash "$top/tests/release/sample_run.sh" "$build" "$root"
check "the simulated receiver runs the same programs" test $? -eq 0
sed -n '/^rxvm: report begins$/,/^rxvm: report ends$/p' "$work/console" | sed '1d;$d' >"$work/report"
check "verdump's report is the simulated receiver's, byte for byte" cmp "$work/report" "$root/report"
check "the report has a line per record" test "$(wc -l <"$work/report")" -eq 37

"$top/build/native/tools/fbshot" -b -s "$root/dev/fb0" "$work/sim.png"
differ=$(compare -metric AE "$work/display.png" "$work/sim.png" null: 2>&1)
check "the display shows the simulated receiver's screen, pixel for pixel ($differ differ)" test "$differ" = 0
"$top/build/native/tools/fbshot" -b "$root/dev/fb0" "$work/woven.png"
woven=$(compare -metric AE "$work/display.png" "$work/woven.png" null: 2>&1)
check "the comparison sees a difference: the woven picture differs ($woven)" test "$woven" != 0

finish
