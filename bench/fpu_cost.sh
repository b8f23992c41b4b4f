#!/usr/bin/env bash
# What floating point costs a box without an FPU: verdump built as the
# release was before (hard-float: every floating-point instruction traps into
# the kernel, which emulates it) and as it is now (soft-float), each run on
# the sample data on the emulated receiver's 4Kc, whose kernel emulates the
# FPU. QEMU's plugin bench/mode_meter.cpp counts the instructions executed in
# kernel mode and in user mode (and of those, the FPU's) from just before verdump starts to just after
# it ends; the fewest of three runs each is printed. The counts barely vary:
# they are instructions, not time.
#   bench/fpu_cost.sh
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
hard=$top/build/receiver-hardfloat
meter=$top/build/native/bench/libmode_meter.so
say() { echo "fpu_cost: $*" >&2; }
(cd "$top" && cmake --build --preset native --target mode_meter >/dev/null && cmake --build --preset receiver >/dev/null) ||
    { say "cannot build the meter and the release"; exit 1; }
{ RX_FLOAT=hard cmake -S "$top" -B "$hard" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mips-linux-musl.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel && RX_FLOAT=hard cmake --build "$hard" --target verdump; } >"$tmp/hard.log" 2>&1 ||
    { tail -20 "$tmp/hard.log"; say "the hard-float verdump did not build"; exit 1; }
cat >"$tmp/script.sh" <<'SH'
for i in 1 2 3; do
    for v in verdump-hard verdump; do rxguest mark; $v >/dev/null; rxguest mark; done
done
SH
"$top/tools/vm/rxvm" -s "$tmp/script.sh" -o "$tmp/shot.png" -P "$meter,out=$tmp/count" \
    -f "$hard/verdump/verdump:/var/bin/verdump-hard" </dev/null >"$tmp/console" 2>&1 ||
    { tail -20 "$tmp/console"; say "the emulated receiver did not run the script"; exit 1; }
# Stretches alternate: hard, soft, hard, soft, ...
awk '{ k = $4; u = $6; f[(NR - 1) % 2] = $8; i = (NR - 1) % 2
       if (!(i in kmin) || k < kmin[i]) kmin[i] = k
       if (!(i in umin) || u < umin[i]) umin[i] = u }
     END {
       printf "%-28s %14s %14s %18s\n", "verdump on the sample data", "kernel mode", "user mode", "of them the FPU'"'"'s"
       printf "%-28s %14d %14d %18d\n", "hard-float (as before)", kmin[0], umin[0], f[0]
       printf "%-28s %14d %14d %18d\n", "soft-float (the release)", kmin[1], umin[1], f[1]
     }' "$tmp/count"
