#!/usr/bin/env bash
# runbar must never slow down the job it watches. In the simulated receiver a
# job writes into a pipe read either by runbar or by `cat > /dev/null`, in the
# same run; the job times itself (runbar's own completion animation after the
# job's end is not the job's time). Prints the best of nine runs and the ratio.
#   bench/runbar_pipe.sh [RUNBAR]    default: build/native/runbar/runbar
set -eu
here=$(cd "$(dirname "$0")" && pwd)
prog=${1:-$here/../build/native/runbar/runbar}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
simrx=$here/../tools/sim/simrx
"$simrx" -r "$root" "$prog" true # lays out the root and puts runbar in /opt/bin

cat >"$root/tmp/job.sh" <<'SH'
# job.sh plain|dots: writes 256 MiB without dots, or 64 MiB of dots, and
# leaves the time it took in /tmp/job.time
TIMEFORMAT=%R
case $1 in
    plain) { time head -c 268435456 /dev/zero; } 2>/tmp/job.time ;;
    dots) { time head -c 67108864 /dev/zero | tr '\0' .; } 2>/tmp/job.time ;;
esac
SH
cat >"$root/tmp/bench.sh" <<'SH'
best() { # best job time of nine runs of a reader
    local b= t
    for _ in 1 2 3 4 5 6 7 8 9; do
        "$@" >/dev/null 2>&1
        t=$(cat /tmp/job.time)
        if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
    done
    echo "$b"
}
for kind in plain dots; do
    c=$(best sh -c "bash /tmp/job.sh $kind | cat >/dev/null")
    r=$(best runbar "bash /tmp/job.sh $kind")
    case $kind in
        plain) what="256 MiB without dots" ;;
        dots) what="64 MiB of dots" ;;
    esac
    awk -v w="$what" -v c="$c" -v r="$r" \
        'BEGIN { printf "%-22s cat %6.3f s  runbar %6.3f s  ratio %.2f\n", w, c, r, r / c }'
done
SH
"$simrx" -r "$root" /bin/bash /tmp/bench.sh
