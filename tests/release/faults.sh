#!/usr/bin/env bash
# Failure injected at every system call: each program runs a normal workload
# in the simulated receiver under strace, which makes one occurrence of one
# call fail with one error, for every call the workload makes, its first
# occurrences and a set of errors. Every run must end either as the normal
# run did (same status, output and screen) or with status 1 and a message
# that names what failed; EINTR on a read, a write or a pause must not change
# the outcome. Anything else (a signal, a hang, another status, success with
# other output) is a fault.
#   tests/release/faults.sh BUILD [OCCURRENCES]   programs from BUILD/{runbar,splash,verdump};
#                                         the first 5 occurrences of each call by default
# The programs are the PC build of the release (static on musl): strace
# watches PC programs. Not injected: the C library's start-up (two calls that
# set the thread pointer, before main), and close: Linux releases the
# descriptor even when close reports an error, while an injected failure
# skips the call and leaves it open, which no real failure does (the C
# library's posix_spawn then waits forever on its own pipe).
set -u

# The table of expectations, one workload a row:
#   name|program|argument|calls injected ("all" or a list)|what a failure message starts with
table='
runbar-dots|runbar|sh /tmp/dots.sh|all|mmap: |read: |error popen 
runbar-pause|runbar|true|nanosleep clock_nanosleep|
splash|splash||all|mmap: 
verdump|verdump||all|stdout: |/pvr/SERVICES/services.txt: |/data/SI/versions2: 
'
errors="EIO ENOMEM ENOSPC EACCES EMFILE EAGAIN EINTR"
not_injected="arch_prctl set_tid_address close"
pauses="nanosleep,clock_nanosleep"
retried="read readv write writev ${pauses/,/ }"
cap_word=$((100 * 720 + 500)) # the end cap's first pixel: drawn only on success

if [ "${1:-}" != --inside ]; then
    here=$(cd "$(dirname "$0")" && pwd)
    build=${1:?usage: faults.sh BUILD [OCCURRENCES]}
    root=$(mktemp -d)
    trap 'rm -rf "$root"' EXIT
    simrx=$here/../../tools/sim/simrx
    "$simrx" -c || { echo "faults: skipped: the simulated receiver cannot run here"; exit 77; }
    command -v strace >/dev/null || { echo "faults: strace is missing (package strace)"; exit 1; }
    "$simrx" -r "$root" "$build/verdump/verdump" >/dev/null 2>&1 # lays out the root
    for p in runbar splash verdump; do cp "$build/$p/$p" "$root/opt/bin/$p" || exit 1; done
    "$here/../../build/native/tools/mksample" "$root" >/dev/null || exit 1
    printf 'i=0; while [ $i -lt 100 ]; do printf ..........; i=$((i + 1)); done\n' >"$root/tmp/dots.sh"
    cp "$0" "$root/tmp/faults.sh"
    "$simrx" -r "$root" /bin/bash /tmp/faults.sh --inside "${2:-5}"
    exit # not exec: the trap removes the root
fi

# Inside the simulated receiver: the programs in /opt/bin, strace in /usr/bin.
occurrences=$2
work=/tmp/faults
mkdir -p $work
head -c 1658880 /dev/zero >$work/blank
fg_word=$(printf '%08x' 0xFF404040)
others=0
total_runs=0 total_normal=0 total_failed=0 total_calls=0 total_occ=0

# run NAME PROGRAM ARG STRACE-ARGS...: one run from a blank screen; leaves
# its status, output, messages and screen in $work/NAME.*
run() {
    local name=$1 prog=$2 arg=$3
    shift 3
    cp $work/blank /dev/fb0
    local cmd=("/opt/bin/$prog")
    [ -n "$arg" ] && cmd+=("$arg")
    timeout -s KILL 30 strace -o "$work/$name.trace" "$@" "${cmd[@]}" >"$work/$name.out" 2>"$work/$name.err"
    echo $? >"$work/$name.status"
    cp /dev/fb0 "$work/$name.fb"
}

# names_failure LINE PATTERNS: the line starts with one of the |-separated texts.
names_failure() {
    local p
    IFS='|' read -ra ps <<<"$2"
    for p in "${ps[@]}"; do
        [ -n "$p" ] && [[ $1 == "$p"* ]] && return 0
    done
    return 1
}

# pauses TRACE: how many pauses the program made (one cut short by a signal
# and then resumed counts once). The completion's animation is part of what
# the screen shows: a job's end that was never seen must not run it.
count_pauses() { grep -E "^(${pauses/,/|})\(" "$1" | grep -c -v "EINTR"; }

# outcome RUN REFERENCE PATTERNS CALL ERROR: normal, failed, or what else happened
outcome() {
    local r=$work/$1 ref=$work/$2 patterns=$3 call=$4 error=$5 status
    status=$(cat "$r.status")
    if [ "$status" = "$(cat "$ref.status")" ] && cmp -s "$r.out" "$ref.out" && cmp -s "$r.err" "$ref.err" &&
        cmp -s "$r.fb" "$ref.fb" && [ "$(count_pauses "$r.trace")" = "$(count_pauses "$ref.trace")" ]; then
        echo normal
    elif [ "$error" = EINTR ] && [[ " $retried " == *" $call "* ]]; then
        echo "EINTR changed the outcome: status $status"
    elif [ "$status" != 1 ]; then
        echo "status $status, pauses $(count_pauses "$r.trace") (normally $(count_pauses "$ref.trace"))"
    elif ! names_failure "$(head -1 "$r.err")" "$patterns"; then
        echo "status 1 without a message naming the failure: $(head -1 "$r.err")"
    elif [ "$(od -An -tx4 -j $((cap_word * 4)) -N4 "$r.fb" | tr -d ' ')" = "$fg_word" ]; then
        echo "status 1 with the bar capped as complete"
    else
        echo failed
    fi
}

while IFS='|' read -r name prog arg calls patterns; do
    [ -n "$name" ] || continue
    # The normal run, traced: which calls it makes, how often.
    run "$name.ref" "$prog" "$arg"
    [ "$(cat "$work/$name.ref.status")" = 0 ] || { echo "faults: $name: the normal run failed"; exit 1; }
    sed -n 's/^[0-9]* *\([a-z_0-9]*\)(.*/\1/p' "$work/$name.ref.trace" | sed '1d' >"$work/$name.calls"
    [ "$calls" = all ] && calls=$(sort -u "$work/$name.calls" | tr '\n' ' ')
    n_runs=0 n_normal=0 n_failed=0 n_calls=0 n_occ=0
    for call in $calls; do
        [[ " $not_injected " == *" $call "* ]] && continue
        count=$(grep -cx "$call" "$work/$name.calls")
        [ "$count" -gt 0 ] || continue
        [ "$count" -le "$occurrences" ] || count=$occurrences
        n_calls=$((n_calls + 1)) n_occ=$((n_occ + count))
        for ((k = 1; k <= count; k++)); do
            for error in $errors; do
                # Only the program's own process: the job keeps its system calls.
                run "$name.try" "$prog" "$arg" -e trace="$call,$pauses" -e inject="$call:error=$error:when=$k"
                result=$(outcome "$name.try" "$name.ref" "$patterns" "$call" "$error")
                n_runs=$((n_runs + 1))
                case $result in
                    normal) n_normal=$((n_normal + 1)) ;;
                    failed) n_failed=$((n_failed + 1)) ;;
                    *) others=$((others + 1)); echo "FAULT: $name: $call #$k $error: $result" ;;
                esac
            done
        done
    done
    printf 'faults: %-13s %2d calls, %3d occurrences x %d errors = %4d runs: %4d normal, %4d failed as said, %d other\n' \
        "$name" $n_calls $n_occ $(wc -w <<<"$errors") $n_runs $n_normal $n_failed $((n_runs - n_normal - n_failed))
    total_runs=$((total_runs + n_runs)) total_normal=$((total_normal + n_normal)) total_failed=$((total_failed + n_failed))
    total_calls=$((total_calls + n_calls)) total_occ=$((total_occ + n_occ))
done <<<"$table"

printf 'faults: all           %2d calls, %3d occurrences x %d errors = %4d runs: %4d normal, %4d failed as said, %d other\n' \
    $total_calls $total_occ $(wc -w <<<"$errors") $total_runs $total_normal $total_failed $others
[ $others -eq 0 ]
