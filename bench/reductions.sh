#!/usr/bin/env bash
# What a photo costs in splash, as it comes and after a few ImageMagick
# reductions: the photo-like landscape of tools/mkpictures (smooth shapes
# under a camera's noise), each reduction encoded by picenc. Prints the
# bytes the picture takes in splash; with a PNG path, also writes the
# reduced pictures side by side there, in the table's order.
#   bench/reductions.sh [LOOK.png]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$top/build/native/tools/mkpictures" "$tmp"
reductions=("" "-colors 64 +dither" "-posterize 8" "-blur 0x1.5 -posterize 16" "-blur 0x1.5 -posterize 8")
printf '| %-28s | %14s | %7s |\n' "ImageMagick reduction" "bytes in splash" tokens
looks=()
for i in "${!reductions[@]}"; do
    r=${reductions[$i]}
    # shellcheck disable=SC2086 # the reduction is words
    convert "$tmp/photo.png" $r PNG24:"$tmp/$i.png"
    said=$("$top/build/native/tools/picenc" "$tmp/$i.png" "$tmp/$i.cpp")
    bytes=$(sed -n 's/.* \([0-9]*\) bytes in splash.*/\1/p' <<<"$said")
    tokens=$(sed -n 's/.* \([0-9]*\) tokens:.*/\1/p' <<<"$said")
    printf '| %-28s | %14s | %7s |\n' "${r:-(as it comes)}" "$bytes" "$tokens"
    looks+=("$tmp/$i.png")
done
if [ $# -ge 1 ]; then
    montage "${looks[@]}" -tile "${#looks[@]}x1" -geometry 200x160+2+2 -background white -depth 8 "$1"
    echo "reductions: the looks, left to right in the table's order: $1"
fi
