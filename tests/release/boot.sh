#!/usr/bin/env bash
# The release's programs on a booted big-endian MIPS kernel (tools/vm/rxvm),
# on an old box's processor (the 4Kc: MIPS32 release 1, no FPU), with the
# kernel that emulates an FPU and with one built without floating-point
# support, against the same programs in the simulated receiver: the device's geometry, the
# statuses, verdump's report byte for byte, the display pixel for pixel (as
# stored, one field above the other, as the display shows the buffer). The
# same workload again with an old kernel's system calls (the oldest the
# release needs: everything above set_thread_area answers ENOSYS) gives the
# same statuses, report and screen, and so does the one-program build
# through links named as the programs; one call fewer and the programs cannot
# start. Without a device, and on a display smaller than the receiver's, the
# drawing programs give the "mmap" report and draw nothing. The README's
# recipes run there as written, with the box's BusyBox, and so does its rxvm
# example; rxvm's status is the script's, read from a whole line, and a machine that cannot start
# ends rxvm at once, leaving nothing behind. A probe of one floating-point
# instruction shows that the kernel without floating-point support kills
# such a program (SIGILL) and the other does not.
#   tests/release/boot.sh [BUILD]     default: build/receiver
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/receiver}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
suite=boot
. "$top/tests/lib.sh"
# The last o32 system call the release needs: set_thread_area.
line=4283

# The kernel and BusyBox, built once: their progress shows here.
if command -v qemu-system-mips >/dev/null; then
    for entry in kernel kernel-nofp busybox; do bash "$top/tools/sources.sh" $entry >/dev/null || exit 1; done
fi

# boot NAME RXVM-OPTIONS...: boots with the script $work/NAME.sh; the console
# is left in $work/NAME.console, the display in $work/NAME.png.
boot() {
    local name=$1 status
    shift
    "$top/tools/vm/rxvm" -p "$build" -s "$work/$name.sh" -o "$work/$name.png" -t 300 "$@" </dev/null \
        >"$work/$name.raw" 2>&1
    status=$?
    tr -d '\r' <"$work/$name.raw" >"$work/$name.console"
    if [ $status -eq 77 ]; then
        grep '^rxvm: cannot boot' "$work/$name.console"
        exit 77
    fi
    check "the emulated receiver boots and runs the $name script" test $status -eq 0 ||
        { tail -30 "$work/$name.console"; finish; }
}
said() { grep -x -- "rxvm: $1" "$work/$2.console" >/dev/null; }

# rxvm takes the script's status from a whole line of its port only (QEMU
# may be part way through "ended 127"): what the port holds | the status
# read, - for none yet.
eval "$(grep '^ended_with()' "$top/tools/vm/rxvm")"
while IFS='|' read -r held want; do
    printf "$held" >"$work/status"
    got=$(ended_with)
    check "rxvm reads '$held' as ${want/-/no status yet}" test "${got:--}" = "$want"
done <<'TABLE'
started\r\nended 127\r\n|127
started\r\nended 12|-
started\r\nended 0\n|0
started\r\n|-
TABLE

job=$(bash "$top/tests/release/sample_run.sh" --job)
cat >"$work/receiver.sh" <<SH
# workload LABEL [WRAPPER...]: the sample workload, and runbar over a few dots
# (its completion pauses), from a blank screen; the report and the screen are
# kept in /tmp/LABEL.report and /tmp/LABEL.fb.
workload() {
    label=\$1
    shift
    head -c 1658880 /dev/zero >/dev/fb0
    "\$@" splash; echo "rxvm: \$label splash \$?"
    "\$@" runbar '$job'; echo "rxvm: \$label runbar \$?"
    "\$@" runbar 'printf ...'; echo "rxvm: \$label runbar over a few dots \$?"
    "\$@" verdump >/tmp/\$label.report; echo "rxvm: \$label verdump \$?"
    head -c 1658880 /dev/fb0 >/tmp/\$label.fb
}
workload plain
workload old rxguest upto $line
# The one-program build, through links named as the programs.
mkdir -p /tmp/multi
for p in runbar splash verdump; do ln -s /var/multi/rxtools /tmp/multi/\$p; done
saved=\$PATH
PATH=/tmp/multi:\$PATH
workload multi
PATH=\$saved
echo "rxvm: report begins"; cat /tmp/plain.report; echo "rxvm: report ends"
cmp -s /tmp/plain.report /tmp/old.report; echo "rxvm: the old kernel's report differs \$?"
cmp -s /tmp/plain.fb /tmp/old.fb; echo "rxvm: the old kernel's screen differs \$?"
cmp -s /tmp/plain.report /tmp/multi.report; echo "rxvm: the report through rxtools differs \$?"
cmp -s /tmp/plain.fb /tmp/multi.fb; echo "rxvm: the screen through rxtools differs \$?"
rxguest upto $((line - 1)) splash; echo "rxvm: below the line splash \$?"
rxguest upto $line rxguest nosys $((line + 1)); echo "rxvm: above the line ENOSYS \$?"
fpuprobe; echo "rxvm: the floating-point probe \$?"
rxguest upto 42x true; echo "rxvm: upto takes only a number \$?"
rxguest nosys $((line + 1)); echo "rxvm: without the filter ENOSYS \$?"
rxguest hide /dev/fb0
runbar true; echo "rxvm: runbar without a device \$?"
splash; echo "rxvm: splash without a device \$?"
rxguest show /dev/fb0
SH
# The same programs and data in the simulated receiver.
root=$work/sim
check "the simulated receiver runs the same programs" bash "$top/tests/release/sample_run.sh" "$build" "$root"
"$top/build/native/tools/fbshot" -b -s "$root/dev/fb0" "$work/sim.png"
"$top/build/native/tools/fbshot" -b "$root/dev/fb0" "$work/woven.png"

for kernel in full nofp; do
    name=receiver-$kernel
    cp "$work/receiver.sh" "$work/$name.sh"
    boot $name -k $kernel -f "$build/multicall/rxtools:/var/multi/rxtools"
    c=$work/$name.console
    case $kernel in
        full) probe=0 ;;
        nofp) probe=132 ;;
    esac
    check "$kernel: the processor is the 4Kc" grep -q '^CPU0 revision is: .*(MIPS 4Kc)' "$c"
    check "$kernel: the device is 720x576, 32 bits a pixel, 2,880 bytes a line" \
        grep -q '^rxvm: fb0: 720x576, 32 bits a pixel, 2880 bytes a line' "$c"
    for run in plain old multi; do
        for p in splash runbar "runbar over a few dots" verdump; do
            check "$kernel, $run: $p exits 0" said "$run $p 0" $name
        done
    done
    check "$kernel: the old kernel's system calls give the same report" said "the old kernel's report differs 0" $name
    check "$kernel: the old kernel's system calls give the same screen" said "the old kernel's screen differs 0" $name
    check "$kernel: the one program through its links gives the same report and screen" \
        eval 'said "the report through rxtools differs 0" $name && said "the screen through rxtools differs 0" $name'
    check "$kernel: one call fewer ($((line - 1))) and splash cannot start" \
        grep -q -x -E 'rxvm: below the line splash [1-9][0-9]*' "$c"
    check "$kernel: above the line a call answers ENOSYS, without the filter not" \
        eval 'said "above the line ENOSYS 0" $name && said "without the filter ENOSYS 1" $name'
    check "$kernel: one floating-point instruction ends with status $probe" said "the floating-point probe $probe" $name
    check "$kernel: rxguest upto takes only a number (a usage error, 2)" said "upto takes only a number 2" $name
    check "$kernel: runbar without a device exits 1" said "runbar without a device 1" $name
    check "$kernel: splash without a device exits 1" said "splash without a device 1" $name
    check "$kernel: both give the mmap report" test "$(grep -c '^mmap: ' "$c")" -eq 2
    sed -n '/^rxvm: report begins$/,/^rxvm: report ends$/p' "$c" | sed '1d;$d' >"$work/$name.report"
    check "$kernel: verdump's report is the simulated receiver's, byte for byte" cmp "$work/$name.report" "$root/report"
    check "$kernel: the report has a line per record" test "$(wc -l <"$work/$name.report")" -eq 37
    differ=$(compare -metric AE "$work/$name.png" "$work/sim.png" null: 2>&1)
    check "$kernel: the display shows the simulated receiver's screen, pixel for pixel ($differ differ)" test "$differ" = 0
    woven=$(compare -metric AE "$work/$name.png" "$work/woven.png" null: 2>&1)
    check "$kernel: the comparison sees a difference: the woven picture differs ($woven)" test "$woven" != 0
done

# A display smaller than the receiver's: 640x480, 1,228,800 bytes.
cat >"$work/small.sh" <<'SH'
runbar true; echo "rxvm: runbar on a small display $?"
splash; echo "rxvm: splash on a small display $?"
cmp -s -n 1228800 /dev/fb0 /dev/zero; echo "rxvm: the small display holds other than black $?"
SH
boot small -m 640x480
check "the small device is 640x480" grep -q '^rxvm: fb0: 640x480, 32 bits a pixel' "$work/small.console"
check "runbar on a small display exits 1" said "runbar on a small display 1" small
check "splash on a small display exits 1" said "splash on a small display 1" small
check "both give the mmap report" test "$(grep -c '^mmap: ' "$work/small.console")" -eq 2
check "nothing is drawn on the small display" said "the small display holds other than black 0" small

# The README's recipes, as written, with BusyBox's shell and tools.
recipes=(-f "$top/tests/e2e/recipes_inside.sh:/tmp/recipes_inside.sh")
for name in dots-loop copy-job kept-output job-status; do
    readme_block $name >"$work/$name.sh"
    recipes+=(-f "$work/$name.sh:/tmp/recipes/$name.sh")
done
box_example >"$work/box-example.sh"
recipes+=(-f "$work/box-example.sh:/tmp/recipes/box-example.sh")
echo 'sh /tmp/recipes_inside.sh /tmp/recipes' >"$work/recipes.sh"
boot recipes "${recipes[@]}"
checks_from "$work/recipes.console" "emulated receiver: "
check "emulated receiver: every recipe was run" test "$(grep -c '^ok: recipe .* prints 1000 dots' "$work/recipes.console")" -eq 5

# The README's rxvm example, as written, in a scratch tree that shares this one's tools and builds.
example=$(readme_block rxvm-example)
mkdir -p "$work/tree"
ln -s "$top/tools" "$work/tree/tools"
ln -s "$top/build" "$work/tree/build"
(cd "$work/tree" && eval "$example") </dev/null >"$work/example.out" 2>&1
check "the README's rxvm example runs and exits 0" test $? -eq 0 -a -s "$work/tree/sim/boot.png" ||
    tail -20 "$work/example.out"
check "its script's verdump shows 3 lines" test "$(grep -c ' begin_next=' "$work/example.out")" -eq 3

# A script that fails: rxvm's status is the script's, said once.
printf 'splsh\nrunbra x\n' >"$work/fails.sh"
"$top/tools/vm/rxvm" -s "$work/fails.sh" -o "$work/fails.png" </dev/null >"$work/fails.out" 2>&1
status=$?
check "a script ending with status 127 makes rxvm exit 127 ($status)" test $status -eq 127
check "and the status is said once" test "$(tr -d '\r' <"$work/fails.out" | grep -c '^rxvm: the script ended with status 127$')" -eq 1

# rxvm learns the end and the status on its own port: a script may print
# anything, end without a newline, or imitate what rxvm would say.
printf 'splash\necho "rxvm: the script ended with status 5"\necho ended 7\nprintf "all done"\nexit 3\n' >"$work/odd.sh"
"$top/tools/vm/rxvm" -s "$work/odd.sh" -o "$work/odd.png" </dev/null >"$work/odd.out" 2>&1
status=$?
check "a script that imitates rxvm and ends without a newline: its own status, 3 ($status)" test $status -eq 3
check "said by rxvm on a line of its own" grep -q '^rxvm: the script ended with status 3$' "$work/odd.out"

# Typed ahead of the prompt with -i: nothing is lost, and Ctrl-C ends an open quote.
printf 'echo "open quote\n\003echo typed "ahead\n of the prompt"\nexit\n' |
    timeout 120 "$top/tools/vm/rxvm" -i -s "$work/odd.sh" -o "$work/odd.png" >"$work/typed.out" 2>&1
status=$?
tr -d '\r' <"$work/typed.out" >"$work/typed.txt"
check "rxvm -i keeps its script's status ($status)" test $status -eq 3
check "what was typed ahead reaches the box's shell" grep -qx ' of the prompt' "$work/typed.txt"
check "and Ctrl-C ends an open quote there" eval '! grep -q "^open quote" "$work/typed.txt" && grep -q "^typed ahead" "$work/typed.txt"'

# Its output closed (rxvm | head -3), rxvm ends within seconds with 141, a
# shell program's status; stopped by Ctrl-C, it says so and ends with 130;
# either way nothing is left.
mkdir -p "$work/tmpdir"
echo 'splash; i=0; while [ $i -lt 60 ]; do echo "line $i"; sleep 1; i=$((i + 1)); done' >"$work/long.sh"
SECONDS=0
TMPDIR=$work/tmpdir timeout 60 "$top/tools/vm/rxvm" -s "$work/long.sh" -o "$work/long.png" </dev/null 2>/dev/null | head -3 >/dev/null
status=${PIPESTATUS[0]}
check "rxvm | head -3 ends rxvm with 141 ($status) within seconds ($SECONDS s)" test $status -eq 141 -a $SECONDS -lt 30
check "leaving no process and no temporary file" eval '[ -z "$(pgrep -f "$work/tmpdir")" ] && [ -z "$(ls -A "$work/tmpdir")" ]'
# SIGINT as a terminal's Ctrl-C finds it: not ignored, whatever this test's
# own shell inherited (perl's exec keeps what it sets).
TMPDIR=$work/tmpdir perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV' "$top/tools/vm/rxvm" -s "$work/long.sh" \
    -o "$work/long.png" </dev/null >"$work/int.out" 2>&1 &
rxvm_pid=$!
for ((i = 0; i < 300; i++)); do
    grep -q '^line 1' "$work/int.out" && break
    sleep 0.1
done
kill -INT $rxvm_pid
wait $rxvm_pid
status=$?
check "Ctrl-C ends rxvm with 130 ($status), saying so" eval '[ $status -eq 130 ] && grep -qx "rxvm: interrupted" "$work/int.out"'
check "and leaves no process and no temporary file" eval '[ -z "$(pgrep -f "$work/tmpdir")" ] && [ -z "$(ls -A "$work/tmpdir")" ]'

# A script that does not end in time: status 1, and the screenshot all the same.
echo 'splash; sleep 600' >"$work/slow.sh"
"$top/tools/vm/rxvm" -s "$work/slow.sh" -o "$work/slow.png" -t 5 </dev/null >"$work/slow.out" 2>&1
status=$?
check "a script that outlasts -t makes rxvm exit 1 ($status)" test $status -eq 1
check "and say so" grep -q '^rxvm: the script did not end within 5 s$' "$work/slow.out"
check "with the screenshot taken all the same" test -s "$work/slow.png"

# A machine that cannot start (a processor QEMU does not know), piped as a
# user would: QEMU's message, status 1 at once, no process and no temporary
# file left.
TMPDIR=$work/tmpdir timeout 60 "$top/tools/vm/rxvm" -c 4Kx -o "$work/never.png" </dev/null 2>&1 | tail -3 >"$work/never.out"
status=${PIPESTATUS[0]}
check "a machine that cannot start ends rxvm with status 1 ($status)" test $status -eq 1
check "with QEMU's message" grep -q "unable to find CPU model '4Kx'" "$work/never.out"
check "and rxvm's: QEMU could not start it" grep -q "^rxvm: QEMU could not start the machine" "$work/never.out"
check "leaving no process" test -z "$(pgrep -f "$work/tmpdir")"
check "and no temporary file" test -z "$(ls -A "$work/tmpdir")"

finish
