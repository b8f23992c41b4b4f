# runbar in the simulated receiver: messages, statuses, what the screen shows
# before, during and after a job, and what the job inherits.
. "$(dirname "$0")/lib.sh"

bg=ffc0c0c0
fg=ff404040
# count VALUE FILE: how many pixel words of the file hold VALUE.
count() { od -An -v -tx4 --endian="$endian" "$2" | tr -s ' ' '\n' | grep -c "^$1\$"; }
nonzero() { od -An -v -tx4 "$1" | tr -s ' ' '\n' | grep -v -c -E '^(00000000)?$'; }

job='printf ...'  # a few dots: the completion pauses
# --- usage: nothing drawn
sim "$prog" >"$root/out" 2>"$root/err"
check "no argument exits 1" test $? -eq 1
check "usage message" test "$(cat "$root/err")" = "usage: runbar command"
check "usage leaves the screen untouched" cmp -s "$fb" <(head -c 1658880 /dev/zero)
# In one write, so that another writer's output cannot fall inside it.
if [ "$endian" = little ] && command -v strace >/dev/null; then
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 sim /usr/bin/strace -o /tmp/usage.trace -e trace=write,writev /opt/bin/runbar 2>/dev/null
    check "the usage message is one write" test "$(grep -c -E '^writev?\(2,' "$root/tmp/usage.trace")" -eq 1
fi
# The name it is started by is the one the usage gives (rxtools, the
# three in one, takes its program from that name: not there).
if [ "$(basename "$(realpath "$prog")")" = runbar ]; then
    cp "$prog" "$root/progress"
    sim "$root/progress" >"$root/out" 2>"$root/err"
    check "usage under another name says that name" test "$(cat "$root/err")" = "usage: progress command"
fi

# --- no device, and a device file shorter than one frame
rm -f "$fb"
sim -n "$prog" 'echo ...' >"$root/out" 2>"$root/err"
check "missing device exits 1" test $? -eq 1
check "missing device gives the mmap report" grep -qx "mmap: .*" "$root/err"
check "missing device is not created" test ! -e "$fb"
head -c 1658879 /dev/zero | tr '\0' A >"$fb"
cp "$fb" "$root/short"
sim -n "$prog" 'echo ...' >"$root/out" 2>"$root/err"
check "a device one byte short of a frame exits 1" test $? -eq 1
check "short device gives the mmap report" test "$(cat "$root/err")" = "mmap: $(errtext ENXIO)"
check "short device file is left as it was" cmp -s "$fb" "$root/short"
# A device that holds more than a frame (a driver's memory beyond the mode):
# drawn on, the bytes past the frame untouched.
{ head -c 1658880 /dev/zero; printf 'ABCD'; } >"$fb"
sim -n "$prog" 'echo' >"$root/out" 2>"$root/err"
status=$?
check "a device longer than a frame is drawn on (status $status)" \
    eval '[ $status -eq 0 ] && [ ! -s "$root/err" ] && [ "$(tail -c 4 "$fb")" = ABCD ] && [ "$(count $fg "$fb")" -gt 0 ]'
rm -f "$fb"
mkfifo "$fb"
sim -n "$prog" 'echo ...' >"$root/out" 2>"$root/err"
check "a device that cannot be mapped exits 1" test $? -eq 1
check "and gives the mmap report" test "$(cat "$root/err")" = "mmap: $(errtext ENODEV)"
rm -f "$fb"

# --- a job of 250 dots that photographs the screen as it goes
at250=$((207360 + 109 * 720 + 259)) # the last store of the 250th unit
cat >"$root/tmp/job250" <<JOB
cp /dev/fb0 /tmp/start.bin
ls -l /proc/\$\$/fd/ >/tmp/fds.txt 2>&1
printf '%250s' '' | tr ' ' .
n=0
while [ "\$(od -An -tx4 --endian=$endian -j $((at250 * 4)) -N4 /dev/fb0 | tr -d ' ')" != $fg ]; do
    n=\$((n + 1)); [ \$n -lt 3000 ] || exit 1; sleep 0.01
done
cp /dev/fb0 /tmp/at250.bin
echo "words, not dots: never shown on the bar nor echoed"
echo from-the-job >&2
JOB
sim "$prog" 'sh /tmp/job250' >"$root/out" 2>"$root/err"
check "a completed job exits 0" test $? -eq 0
check "the job's output is consumed, not echoed" test ! -s "$root/out"
check "the job's standard error is inherited" grep -qx from-the-job "$root/err"
check "bar and cap are cleared before the job starts" test "$(count $bg "$root/tmp/start.bin")" -eq 6500
check "nothing else is drawn before the job starts" test "$(nonzero "$root/tmp/start.bin")" -eq 6500
check "250 dots fill columns 180-259 in both fields" test "$(count $fg "$root/tmp/at250.bin")" -eq 1600
check "the rest of the bar and the cap still background" test "$(count $bg "$root/tmp/at250.bin")" -eq 4900
check "the completed bar and the cap are foreground" test "$(count $fg "$fb")" -eq 6500
check "nothing outside the bar is drawn" test "$(nonzero "$fb")" -eq 6500
check "the job saw its descriptors" grep -q ' 1 -> ' "$root/tmp/fds.txt"
check "the job does not inherit the frame buffer" bash -c "! grep -q fb0 '$root/tmp/fds.txt'"

# --- a job of a few MiB before its dots: read in whole buffers of 64 KiB,
# every one of them followed to the end of the output, then the dots
cat >"$root/tmp/jobmib" <<'JOB'
head -c 4194304 /dev/zero | tr '\0' x
printf '%1000s' '' | tr ' ' .
: >/tmp/job-ended
JOB
rm -f "$root/tmp/job-ended"
sim "$prog" 'sh /tmp/jobmib' >"$root/out" 2>"$root/err"
check "runbar follows 4 MiB of output to its end (status $?)" test -e "$root/tmp/job-ended"

# --- a job of more dots than the bar holds: full when its output ends
rm -f "$fb"
sim "$prog" "printf '%1500s' '' | tr ' ' ." >"$root/out" 2>"$root/err"
check "1500 dots exit 0" test $? -eq 0
check "1500 dots fill bar and cap" test "$(count $fg "$fb")" -eq 6500

# --- a job that closes its output and keeps running is not waited for
cat >"$root/tmp/stay" <<'JOB'
echo $$ >/tmp/stay.pid
exec >&- 2>&- </dev/null
sleep 60
JOB
timeout 40 "$simrx" -r "$root" "$prog" 'exec sh /tmp/stay' >"$root/out" 2>"$root/err" </dev/null
check "runbar ends while its job still runs" test $? -eq 0
pid=$(cat "$root/tmp/stay.pid" 2>/dev/null)
check "the job was still running" kill -0 "${pid:-0}"
[ -n "$pid" ] && pkill -P "$pid" 2>/dev/null; [ -n "$pid" ] && kill "$pid" 2>/dev/null

# The job's shell cannot change the host's own folders.
sim "$prog" 'touch /usr/simrx-probe /etc/simrx-probe; echo $? >/tmp/touched' >/dev/null 2>&1
check "a job cannot write the host's /usr or /etc" test "$(cat "$root/tmp/touched")" != 0 -a ! -e /usr/simrx-probe

# Failures of the calls runbar makes, one a row: call | which one (its trace
# line) | error | status | message | the end cap drawn (yes/no). A failed read
# of the job's output is an error and leaves the bar uncapped; an
# interrupted one is read again; an interrupted pause is resumed.
cap=$((100 * 720 + 500))
while IFS='|' read -r call which error want message capped; do
    [ -n "$call" ] || continue
    rm -f "$fb"
    head -c 1658880 /dev/zero >"$fb"
    inject "$call" "$which" "$error" /opt/bin/runbar "$job"
    status=$?
    [ $status -eq 77 ] && { echo "skipped: strace cannot watch this build's runbar"; break; }
    what="$call $error ($which)"
    check "$what: status $want" test $status -eq "$want"
    [ -z "$message" ] || check "$what: says \"$(eval "echo \"$message\"")\"" test "$(cat "$root/err")" = "$(eval "echo \"$message\"")"
    [ "$capped" = yes ] && cap_colour=$fg || cap_colour=$bg
    check "$what: the end cap is ${cap_colour}" test "$(word $cap)" = $cap_colour
done <<'TABLE'
read|, 65536\)|EIO|1|read: $(errtext EIO)|no
read|, 65536\)|EINTR|0||yes
pipe2|pipe2|EMFILE|1|error popen $job|no
clock_nanosleep|clock_nanosleep|EINTR|0||yes
TABLE

# The last row's traces: every pause is whole microseconds, 10,000 to
# 309,999 of them, and the one a signal cut short is made again in full.
if [ -s "$root/tmp/injected.trace" ] && grep -q clock_nanosleep "$root/tmp/normal.trace"; then
    spans() { grep '^clock_nanosleep' "$1" | grep -o 'tv_sec=[0-9]*, tv_nsec=[0-9]*' | sed 's/tv_sec=//; s/, tv_nsec=/ /'; }
    whole() { awk '$1 != 0 || $2 % 1000 || $2 < 10000000 || $2 > 309999000 { bad = 1 } END { exit bad || NR == 0 }'; }
    check "every pause is 10,000 to 309,999 whole microseconds" whole < <(spans "$root/tmp/normal.trace")
    check "the pauses from the job's 3 units are the generator's" \
        test "$(spans "$root/tmp/normal.trace" | awk '{ print $2 / 1000 }')" = "$(errtext pauses 3)"
    cut_short=$(grep '^clock_nanosleep' "$root/tmp/injected.trace" | grep -n -m1 INJECTED | cut -d: -f1)
    again=$(spans "$root/tmp/injected.trace" | sed -n "${cut_short:-1}p;$((${cut_short:-1} + 1))p" | uniq | wc -l)
    check "the pause cut short by a signal is made again in full" \
        test -n "$cut_short" -a "$again" = 1 -a "$(spans "$root/tmp/injected.trace" | wc -l)" -eq $(($(spans "$root/tmp/normal.trace" | wc -l) + 1))
fi

finish
