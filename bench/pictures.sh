#!/usr/bin/env bash
# pic_paint against memcpy of one frame on the PC, for the kinds of picture
# a user brings: noise (all literals), a smooth diagonal gradient (many short
# tokens), a logo (flat areas, anti-aliased edges), a photo-like landscape,
# and our own boot picture (the embedded one). All are made by program. Prints each median and its
# ratio to memcpy's. The painter's bars: noise 1.25, gradient 2.5, ours 1.1.
#   bench/pictures.sh [REPETITIONS]     default 5
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$here/../build/native
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$bin/tools/mkpictures" "$tmp"
"$bin/bench/paint_bench" --benchmark_repetitions="${1:-5}" --benchmark_report_aggregates_only=true \
    --benchmark_out="$tmp/out.csv" --benchmark_out_format=csv \
    "$tmp/noise.png" "$tmp/gradient.png" "$tmp/logo.png" "$tmp/photo.png" >/dev/null 2>"$tmp/err" || { cat "$tmp/err"; exit 1; }
awk -F, '$1 ~ /_median"$/ { name = $1; gsub(/"|_median/, "", name); t[name] = $4 / 1000; order[++n] = name }
    END {
        printf "%-20s %10s %8s\n", "benchmark", "median", "ratio"
        for (i = 1; i <= n; i++)
            printf "%-20s %8.1f us %8.2f\n", order[i], t[order[i]], t[order[i]] / t["memcpy"]
    }' "$tmp/out.csv"
