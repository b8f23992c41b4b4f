#!/usr/bin/env bash
# The painter's cost on the receiver's processor, counted, not timed: each
# picture is encoded as picenc does and painted once by the release's painter
# (build/receiver/paintpic, MIPS32 release 1) under qemu-mips, whose plugin
# (bench/meter.cpp) counts the instructions executed and the stores into the
# screen by kind. The screen is mapped uncached on the box, so each store
# into it is one bus write: one per pixel is the least there can be. memcpy
# of one frame is the baseline. The painted screen is checked against the
# picture. The counts are exact and the same on every machine.
#   bench/target_cost.sh [--check] [PICTURE.png ...]
# Without pictures: our own boot picture, those of tools/mkpictures, and
# stripes 16 pixels wide (every token a run of the longest length painted in
# stretches). With --check, fails unless every picture costs exactly one bus
# write per pixel, all word stores, none elsewhere in the loop, and at most
# these instructions per pixel: our own 1.40, noise, logo and photo 2.3, the
# gradient 3.2, the stripes 1.70.
# Then runbar's scan of a job's output, counted the same way (see below).
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
native=$top/build/native
check=0
[ "${1:-}" = --check ] && { check=1; shift; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in "$native/tools/picenc" "$native/tools/fbshot" "$native/tools/mkpictures" "$native/bench/libmeter.so" \
    "$top/build/receiver/paintpic" "$top/build/receiver/scancost"; do
    [ -e "$f" ] || { echo "target_cost: $f is missing (cmake --build --preset native; --preset receiver)" >&2; exit 1; }
done
if [ $# -eq 0 ]; then
    "$native/tools/mkpictures" "$tmp" || exit 1
    # Three colours, so that a line's last stripe and the next line's first differ.
    convert -size 16x1 xc:'#102030' xc:'#405060' xc:'#708090' +append -write mpr:stripe +delete \
        -size 720x576 tile:mpr:stripe "$tmp/stripes.png" || exit 1
    set -- "$top/splash/splash.png" "$tmp/noise.png" "$tmp/gradient.png" "$tmp/logo.png" "$tmp/photo.png" \
        "$tmp/stripes.png"
fi
pixels=414720

# limit NAME: the instructions per pixel a picture may cost.
limit() {
    case $1 in
        "our own") echo 1.40 ;;
        gradient) echo 3.2 ;;
        stripes) echo 1.70 ;;
        *) echo 2.3 ;;
    esac
}

status=0
printf '%-10s %8s %7s %10s %7s  %-28s %7s %6s\n' picture words tokens instructions "per px" "stores into the screen" "writes" "other"
for png in "$@"; do
    name=$(basename "$png" .png)
    said=$("$native/tools/picenc" --words "$png" "$tmp/$name.words") || exit 1
    words=$(sed -n 's/.*: \([0-9]*\) words,.*/\1/p' <<<"$said")
    tokens=$(sed -n 's/.* \([0-9]*\) tokens:.*/\1/p' <<<"$said")
    qemu-mips -plugin "$native/bench/libmeter.so,out=$tmp/$name.count" "$top/build/receiver/paintpic" -m \
        "$tmp/$name.words" "$tmp/$name.fb" >/dev/null || { echo "target_cost: $name: paintpic failed" >&2; exit 1; }
    "$native/tools/fbshot" -b "$tmp/$name.fb" "$tmp/$name.shot.png" 2>/dev/null
    differ=$(compare -metric AE "$png" "$tmp/$name.shot.png" null: 2>&1)
    for stretch in 1 2; do
        line=$(sed -n "${stretch}p" "$tmp/$name.count")
        read -r _ _ _ insns _ screen _ others kinds <<<"$line"
        per=$(awk -v i="$insns" -v p=$pixels 'BEGIN { printf "%.3f", i / p }')
        writes=$(awk -v s="$screen" -v p=$pixels 'BEGIN { printf "%.3f", s / p }')
        label=$name
        [ "$png" = "$top/splash/splash.png" ] && label="our own"
        [ $stretch = 2 ] && { [ "$png" = "$1" ] || continue; label=memcpy words=- tokens=-; }
        printf '%-10s %8s %7s %10s %7s  %-28s %7s %6s\n' "$label" "$words" "$tokens" "$insns" "$per" "$kinds" \
            "$writes" "$others"
        [ $stretch = 1 ] && [ $check = 1 ] || continue
        max=$(limit "$label")
        problems=()
        [ "$differ" = 0 ] || problems+=("the screen differs from the picture in $differ pixels")
        [ "$screen" = $pixels ] || problems+=("$screen bus writes, not one per pixel")
        [ "$kinds" = "sw=$pixels" ] || problems+=("stores other than one sw a pixel: $kinds")
        [ "$others" -le 16 ] || problems+=("$others stores outside the screen")
        awk -v p="$per" -v m="$max" 'BEGIN { exit !(p <= m) }' || problems+=("$per instructions a pixel, over $max")
        if [ ${#problems[@]} -gt 0 ]; then
            printf 'FAILED: %s: %s\n' "$name" "$(IFS=';'; echo "${problems[*]}")"
            status=1
        fi
    done
done
[ $check = 1 ] && [ $status = 0 ] && echo "target_cost: every picture at one bus write a pixel, within its instructions"

# runbar's scan of its job's output: 64 MiB of a job's text, without a dot
# and with 1000 dots spread through it (the bar fills at the last), read and
# counted as runbar does (build/receiver/scancost). At most 1.75
# instructions a byte with --check, and every dot counted.
scan_max=1.75
line="writing /var/update/rootfs, block 0123456789 of 4096: all well so far"
text() { yes "$line" | head -c "$1"; }
text 67108864 >"$tmp/no-dots"
{ text 33554; printf .; text 33553; } >"$tmp/chunk"
for ((i = 0; i < 1000; i++)); do cat "$tmp/chunk"; done >"$tmp/spread-dots"
text 864 >>"$tmp/spread-dots"
echo
printf '%-22s %10s %12s %9s %6s\n' "runbar's scan" bytes instructions "per byte" units
for input in no-dots:0 spread-dots:1000; do
    name=${input%:*} want=${input#*:}
    said=$(qemu-mips -plugin "$native/bench/libmeter.so,out=$tmp/$name.count" "$top/build/receiver/scancost" \
        "$tmp/$name") || { echo "target_cost: scancost failed on $name" >&2; exit 1; }
    units=$(sed -n 's/^scancost: \([0-9]*\) units$/\1/p' <<<"$said")
    bytes=$(stat -c %s "$tmp/$name")
    read -r _ _ _ insns _ <"$tmp/$name.count"
    per=$(awk -v i="$insns" -v b="$bytes" 'BEGIN { printf "%.3f", i / b }')
    printf '%-22s %10s %12s %9s %6s\n' "$name" "$bytes" "$insns" "$per" "$units"
    [ $check = 1 ] || continue
    if [ "$units" != "$want" ] || ! awk -v p="$per" -v m=$scan_max 'BEGIN { exit !(p <= m) }'; then
        echo "FAILED: runbar's scan of $name: $per instructions a byte (at most $scan_max), $units units (not $want)"
        status=1
    fi
done
[ $check = 1 ] && [ $status = 0 ] && echo "target_cost: runbar's scan within $scan_max instructions a byte, every dot counted"
exit $status
