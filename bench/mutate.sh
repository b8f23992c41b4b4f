#!/usr/bin/env bash
# The mutation harness: measures how many plausible faults the fast suite
# catches. It plants one fault at a time (bench/mutants.pl lists them, every
# operator at every site, in a fixed order) in a copy of the tree, rebuilds
# and runs only the tests that can see the changed file, and puts the line
# back. Each group of tests is run once on the unmutated tree first, and
# the run stops if one fails there. A mutant the tests catch is killed (a
# timeout counts: the test saw a hang); one that does not build is left
# out; one they miss survives, unless bench/mutation-equivalent.txt lists
# it as equivalent, with its reason.
#   bench/mutate.sh [-j WORKERS] [-r | -s] [PATH...]
#     (default: 2 workers, every folder it covers)
# Prints the score per folder and every survivor (FILE:LINE, the operator,
# the line as mutated); the whole list is kept in $RX_CACHE/mutation/last.tsv,
# where a run over some files replaces only their verdicts.
# -r runs again only the survivors of that list (after a test is added) and
# puts their new verdicts in it; -s prints the list's score again (after an
# equivalent is listed).
# The programs' folders are tested with the native preset (verdump's unit
# tests, and the screenshot's, also under the sanitizers), runbar's scan
# and the painter's receiver branch (splash/paint.cpp under __mips__) with
# the mips preset's unit tests and the cost meter's check as well. A test
# that runs over 30 s (the slowest takes 9), tests over 40 s, or a cost
# check over 60 s count as a hang, and so as caught.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
export RX_FIRST_FAILURE=1 # a test script stops at its first failed check
. "$top/tests/lib.sh"
workers=2 mode=all
while getopts "j:rs" opt; do
    case $opt in
        j) workers=$OPTARG ;;
        r) mode=survivors ;;
        s) mode=score ;;
        *) echo "usage: bench/mutate.sh [-j WORKERS] [-r | -s] [PATH...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || set -- fb runbar splash verdump tools/picture tools/sim/fbshot.cpp tools/sim/shot.cpp tools/sim/shot.hpp
cache=${RX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rxtools}/mutation
mkdir -p "$cache" || exit 1
if [ $mode != all ] && [ ! -s "$cache/last.tsv" ]; then
    echo "mutate: no earlier run in $cache/last.tsv" >&2
    exit 1
fi
# One run at a time: the workers' trees and the list are kept in the cache.
if [ $mode != score ]; then
    exec 9>"$cache/.lock"
    flock -n 9 || { echo "mutate: another run holds $cache" >&2; exit 1; }
fi
work=$(mktemp -d)
pids=()
# Each worker is a process group of its own, stopped whole with its builds and tests.
trap 'for pid in "${pids[@]}" $(cat "$work"/timeout-* 2>/dev/null); do kill -- -"$pid" 2>/dev/null; done; wait; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# folder FILE: the folder a file's score counts in.
folder() {
    case $1 in
        tools/sim/*) echo fbshot ;;
        *) dirname "$1" ;;
    esac
}
# tests FILE LINE: where the tests that can see the line run, the likeliest to fail first:
# PRESET:TEST,TEST... groups, one after the other. The receiver's
# target_cost is the cost meter's check (bench/target_cost.sh --check).
tests() {
    case $1 in
        splash/paint.cpp)
            # The receiver's branch, the PC's, or the code both build.
            case $(awk -v n="$2" '/^#if defined\(__mips__\)/ { at = "mips" } /^#else/ { at = "pc" } /^#endif/ { at = "" }
                NR == n { print at; exit }' "$top/$1") in
                mips) echo "mips:paint_test receiver:target_cost" ;;
                pc) echo "native:paint_test,encode_test,splash_e2e,pic_in_sync" ;;
                *) echo "native:paint_test,encode_test,splash_e2e,pic_in_sync mips:paint_test receiver:target_cost" ;;
            esac ;;
        fb/*) echo "native:bar_test,paint_test,splash_e2e,runbar_e2e" ;;
        runbar/runner.cpp) echo "native:bar_test,runbar_e2e,recipes_e2e mips:bar_test receiver:target_cost" ;;
        runbar/*) echo "native:bar_test,runbar_e2e,recipes_e2e" ;;
        splash/picture.hpp) echo "native:paint_test,encode_test,splash_e2e,pic_in_sync,picenc_errors,tool_options" ;;
        splash/*) echo "native:paint_test,encode_test,splash_e2e,pic_in_sync" ;;
        verdump/*) echo "native:verdump_test,verdump_e2e asan:verdump_test" ;; # the sanitizer sees a store past a table
        tools/picture/drawsplash.cpp | tools/picture/mkpictures.cpp) echo "native:tool_options,picenc_errors" ;;
        tools/picture/paintpic.cpp)
            # The cost meter's build (the receiver's), the PC's, or both.
            case $(awk -v n="$2" '/^#if defined\(PAINTPIC_FOR_METER\)/ { at = "meter" } /^#if !defined\(PAINTPIC_FOR_METER\)/ { at = "pc" }
                /^#else/ { at = at == "meter" ? "pc" : "meter" } /^#endif/ { at = "" } NR == n { print at; exit }' "$top/$1") in
                meter) echo "receiver:target_cost" ;;
                pc) echo "native:tool_options" ;;
                *) echo "native:tool_options receiver:target_cost" ;;
            esac ;;
        tools/sim/fbshot.cpp) echo "native:tool_options" ;;
        # (the encoder's unit tests write no file)
        tools/picture/picenc.cpp | tools/picture/file_out.cpp) echo "native:picenc_errors,pic_in_sync,tool_options" ;;
        tools/picture/*) echo "native:encode_test,picenc_errors,pic_in_sync,tool_options" ;;
        tools/sim/*) echo "native:encode_test,tool_options asan:encode_test" ;; # a store past the picture
    esac
}

# targets TEST...: what the tests run, to be rebuilt after a mutation.
targets() {
    local t
    for t in "$@"; do
        case $t in
            runbar_e2e) echo runbar errtext ;;
            recipes_e2e) echo runbar ;;
            splash_e2e) echo splash errtext ;;
            verdump_e2e) echo verdump errtext ;;
            pic_in_sync) echo picenc ;;
            picenc_errors) echo picenc drawsplash mkpictures ;;
            tool_options) echo picenc fbshot drawsplash paintpic mkpictures mksample ;;
            target_cost) echo scancost paintpic ;;
            *) echo "$t" ;;
        esac
    done | tr ' ' '\n' | sort -u | tr '\n' ' '
}

# The mutants, numbered; with -r, those the last run's survivors are (found
# by file, operator and text, wherever the line has moved to, the Nth of a
# text in a file for its Nth: $work/nth.tsv keeps each one's N).
files=$(cd "$top" && git ls-files -- "$@" | grep -E '\.(cpp|hpp)$' | sort)
(cd "$top" && perl bench/mutants.pl $files) | awk '{ print NR "\t" $0 }' >"$work/mutants.tsv"
if [ $mode = survivors ]; then
    # Those listed as equivalent need no second run.
    awk -F'\t' -v nth="$work/nth.tsv" 'FNR == 1 { f++ }
        f == 1 { if ($0 !~ /^#/) eq[$1 "\t" $2 "\t" $3] = 1; next }
        f == 2 { k = $3 "\t" $5 "\t" $6; n = ++seen[k]; if ($2 == "survived" && !(k in eq)) s[k "\t" n] = 1; next }
        { k = $2 "\t" $4 "\t" $5; n = ++now[k]; if ((k "\t" n) in s) { print; print $1 "\t" n > nth } }' \
        "$top/bench/mutation-equivalent.txt" "$cache/last.tsv" "$work/mutants.tsv" >"$work/survivors.tsv"
    mv "$work/survivors.tsv" "$work/mutants.tsv"
fi
total=$(wc -l <"$work/mutants.tsv")
[ $mode = score ] || echo "mutate: $total mutants in $(echo "$files" | wc -l) files, $workers workers"

# sync_tree TREE: the project's files into TREE, a file written anew only
# where it differs, so that what a last run built for it stays good.
sync_tree() {
    local f
    rm -rf "$work/copy-$i" && mkdir "$work/copy-$i" && copy_tree "$work/copy-$i" || return 1
    (cd "$work/copy-$i" && find . -type f) | while read -r f; do
        cmp -s "$work/copy-$i/$f" "$1/$f" || { mkdir -p "$(dirname "$1/$f")" && cp "$work/copy-$i/$f" "$1/$f"; } || return 1
    done
}

# sweep TREE: stops what a test left running in TREE's simulated receivers
# (a program there is in namespaces of its own, out of the test's process
# group, and holds the test's output open after the test is stopped).
sweep() {
    local p
    for p in /proc/[0-9]*; do
        case $(readlink "$p/root" 2>/dev/null)/ in "$1"/*) kill -9 "${p#/proc/}" 2>/dev/null ;; esac
    done
}

# limited TREE SECONDS COMMAND...: COMMAND, in TREE; past SECONDS it is stopped
# with what it left running there, and fails.
limited() {
    local tree=$1 limit=$2 watchdog status
    shift 2
    (sleep "$limit" && sweep "$tree") 2>/dev/null &
    watchdog=$!
    # timeout runs in a process group of its own, which stopping the run
    # stops too (by the pid kept here)
    (cd "$tree" && exec timeout -k 5 $((limit + 5)) "$@" >/dev/null 2>&1) &
    echo $! >"$work/timeout-$i"
    wait $!
    status=$?
    rm -f "$work/timeout-$i"
    pkill -P "$watchdog" 2>/dev/null; kill "$watchdog" 2>/dev/null
    wait "$watchdog" 2>/dev/null
    sweep "$tree"
    return $status
}

# own_target FILE: the one program a file is built into alone, so that a
# mutant of it needs only that program rebuilt.
own_target() {
    case $1 in
        tools/picture/drawsplash.cpp | tools/picture/mkpictures.cpp | tools/picture/paintpic.cpp | \
            tools/picture/picenc.cpp | tools/sim/fbshot.cpp) basename "$1" .cpp ;;
    esac
}

# build_group TREE PRESET:TEST,TEST... [PROGRAM]: what the group's tests run
# rebuilt, or only PROGRAM.
build_group() {
    local list=${2#*:}
    # shellcheck disable=SC2046 # the targets are words
    (cd "$1" && cmake --build --preset "${2%%:*}" -j 1 --target ${3:-$(targets ${list//,/ })} >/dev/null 2>&1)
}

# run_group TREE PRESET:TEST,TEST...: the group's tests, built, in TREE.
run_group() {
    local preset=${2%%:*} list=${2#*:}
    if [ "$list" = target_cost ]; then
        limited "$1" 60 bash bench/target_cost.sh --check
    else
        limited "$1" 40 ctest --preset "$preset" -R "^(${list//,/|})\$" --timeout 30 --stop-on-failure
    fi
}

# worker I: its own tree and builds, kept in the cache from run to run;
# takes every WORKERS-th mutant from I.
worker() {
    local i=$1
    local tree=$cache/tree-$i id file line op mutated preset verdict last= own
    local -A passed
    mkdir -p "$tree" && sync_tree "$tree" || return 1
    rm -f "$tree"/build/*/.built # each preset brought up to date once
    while IFS=$'\t' read -r id file line op mutated; do
        [ $((id % workers)) -eq "$i" ] || continue
        # Each preset's build, once, unmutated, before its first mutant (the
        # receiver's cost meter wants the native tools too).
        for group in $(tests "$file" "$line"); do
            preset=${group%%:*}
            for p in $([ "$preset" = receiver ] && echo native) $preset; do
                [ -e "$tree/build/$p/.built" ] && continue
                (cd "$tree" && cmake --preset $p && cmake --build --preset $p -j 1 && : >"build/$p/.built") \
                    >"$work/build-$i.log" 2>&1 || { tail -20 "$work/build-$i.log" >&2; echo "mutate: worker $i cannot build $p" >&2; return 1; }
            done
        done
        # On to another file: all its tests run, built again (a program the
        # last file's mutants were built into alone is still a mutant).
        if [ "$file" != "$last" ]; then
            for group in $(tests "$file" "$line"); do build_group "$tree" "$group" || return 1; done
            last=$file
        fi
        # And each group of tests, once, on the unmutated tree: a test that
        # fails there (a tool missing on this machine) would kill every mutant.
        for group in $(tests "$file" "$line"); do
            [ -n "${passed[$group]:-}" ] && continue
            { build_group "$tree" "$group" && run_group "$tree" "$group"; } ||
                { echo "mutate: $group fails on the unmutated tree" >&2; return 1; }
            passed[$group]=1
        done
        own=$(own_target "$file")
        cp "$tree/$file" "$work/orig-$i"
        MUTATED=$mutated perl -i -pe 'if ($. == '"$line"') { $_ = $ENV{MUTATED} . "\n" }' "$tree/$file"
        verdict=survived
        for group in $(tests "$file" "$line"); do
            if ! build_group "$tree" "$group" "$own"; then
                [ $verdict = survived ] && verdict=unbuilt
                break
            fi
            run_group "$tree" "$group" || { verdict=killed; break; }
        done
        cp "$work/orig-$i" "$tree/$file"
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$verdict" "$file" "$line" "$op" "$mutated" >>"$work/results-$i.tsv"
    done <"$work/mutants.tsv"
}

SECONDS=0
if [ $mode != score ]; then
    set -m
    for ((i = 0; i < workers; i++)); do
        worker $i &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || { echo "mutate: a worker failed" >&2; exit 1; }; done
    pids=()
    : >>"$work/results-0.tsv"
    if [ $mode = survivors ]; then
        # The new verdicts in place of the old, by file, operator, text and N.
        cat "$work"/results-*.tsv >"$work/results.tsv"
        awk -F'\t' -v OFS='\t' 'FILENAME == ARGV[1] { n[$1] = $2; next }
            FILENAME == ARGV[2] { v[$3 "\t" $5 "\t" $6 "\t" n[$1]] = $2; next }
            { k = $3 "\t" $5 "\t" $6; k = k "\t" ++seen[k]; if (k in v) $2 = v[k]; print }' \
            "$work/nth.tsv" "$work/results.tsv" "$cache/last.tsv" >"$work/merged.tsv"
        sort -t $'\t' -k3,3 -k1,1n "$work/merged.tsv" >"$cache/last.tsv.new"
    else
        # This run's files anew; the other files' verdicts stay as they were.
        printf '%s\n' $files >"$work/files"
        { [ -e "$cache/last.tsv" ] && awk -F'\t' 'NR == FNR { run[$0] = 1; next } !($3 in run)' \
            "$work/files" "$cache/last.tsv"
          cat "$work"/results-*.tsv; } | sort -t $'\t' -k3,3 -k1,1n >"$cache/last.tsv.new"
    fi
    mv "$cache/last.tsv.new" "$cache/last.tsv"
fi

# The score: killed among the mutants that built, less those listed as
# equivalent (matched by file, operator and the mutated line's text).
equivalent=$top/bench/mutation-equivalent.txt
awk -F'\t' -v elapsed=$SECONDS -v listed="$equivalent" '
    BEGIN { while ((getline l < listed) > 0) if (l !~ /^#/ && l != "") { split(l, f, "\t"); eq[f[1] "\t" f[2] "\t" f[3]] = 1 } }
    $2 == "unbuilt" { next }
    {
        where = $3; sub(/\/[^\/]*$/, "", where); if ($3 ~ /^tools\/sim\//) where = "fbshot"
        key = $3 "\t" $5 "\t" $6
        if ($2 == "survived" && (key in eq)) { equiv[where]++; next }
        n[where]++; if ($2 == "killed") k[where]++
        if ($2 == "survived") survivors = survivors sprintf("survived: %s:%s %s: %s\n", $3, $4, $5, $6)
    }
    END {
        printf "%s", survivors
        for (w in n) printf "score: %-14s %4d of %4d killed (%5.1f%%), %d equivalent\n", w, k[w], n[w], 100 * k[w] / n[w], equiv[w]
        printf "mutate: %d s\n", elapsed
    }' "$cache/last.tsv" | sort
