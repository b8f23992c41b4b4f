# The sample workload in the simulated receiver, for comparing builds and
# machines: on the sample data, splash, then runbar over a job of 1000 dots,
# then verdump, whose report goes to ROOT/report. The job is plain sh, so the
# emulated receiver's shell runs it too.
#   sample_run.sh BUILD ROOT
#   sample_run.sh --job        prints the job
job='i=0; while [ $i -lt 100 ]; do printf ..........; i=$((i + 1)); done'
[ "${1:-}" = --job ] && { printf '%s\n' "$job"; exit 0; }
[ $# -eq 2 ] || { echo "usage: sample_run.sh BUILD ROOT | --job" >&2; exit 2; }
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
mkdir -p "$2/pvr/SERVICES" "$2/data/SI" &&
    "$top/build/native/tools/mksample" "$2" >/dev/null &&
    "$top/tools/sim/simrx" -r "$2" "$1/splash/splash" &&
    "$top/tools/sim/simrx" -r "$2" "$1/runbar/runbar" "$job" &&
    "$top/tools/sim/simrx" -r "$2" "$1/verdump/verdump" >"$2/report"
