#!/usr/bin/env bash
# What a photo costs in splash, as it comes and after a few ImageMagick
# reductions, each applied as the README's photo recipe does: after the
# photo has its final size (resized and cropped to 720x576), then encoded by
# picenc. Measured on real camera photos larger than the screen (the 14
# photographs of Debian's lomiri-wallpapers-16.04, fetched with apt-get
# download into the cache, never into the tree) and on the photo-like
# landscape of tools/picture/mkpictures. Prints the bytes the picture takes
# in splash: the landscape's, and the photos' median and range. With a PNG
# path, also writes one photo's reductions side by side there, in the
# table's order.
#   bench/reductions.sh [LOOK.png]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cache=${RX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rxtools}/photos
picenc=$top/build/native/tools/picenc
package=lomiri-wallpapers-16.04
# The package's photographs (its one synthetic gradient left out).
photos="Bridge_by_Sander_Klootwijk Dragonfly_by_Bolly Picture_0B_by_freespace Picture_1A_by_freespace
    Wine_by_Jakkub_Mede aitzgorri_by_Aitzol_Berasategi analogpattern_by_Peter_Nerlich free_by_Peter_Nerlich
    friends_by_Aitzol_Berasategi greentock_by_Peter_Nerlich life_by_Aitzol_Berasategi
    picosdeeuropa_by_Aitzol_Berasategi seeding_by_Clements_Engelhardt sunset_by_Aitzol_Berasategi"
if [ ! -d "$cache/$package" ]; then
    mkdir -p "$cache"
    (cd "$tmp" && apt-get download -q "$package" >/dev/null && dpkg-deb -x "$package"_*.deb x) ||
        { echo "reductions: cannot fetch $package" >&2; exit 1; }
    mkdir "$tmp/$package"
    for p in $photos; do cp "$tmp/x/usr/share/backgrounds/$p.jpg" "$tmp/$package/"; done
    mv -T "$tmp/$package" "$cache/$package"
fi
"$top/build/native/tools/mkpictures" "$tmp"

reductions=("" "-colors 64 +dither" "-posterize 8" "-blur 0x1.5 -posterize 16" "-blur 0x1.5 -posterize 8"
    "-blur 0x3 -posterize 8")
# bytes IN REDUCTION OUT.png: the bytes in splash of IN, resized, cropped and reduced.
bytes() {
    # shellcheck disable=SC2086 # the reduction is words
    convert "$1" -resize '720x576^' -gravity center -extent 720x576 $2 PNG24:"$3"
    "$picenc" "$3" "$tmp/pic.cpp" | sed -n 's/.* \([0-9]*\) bytes in splash.*/\1/p'
}
printf '| %-26s | %12s | %12s | %19s |\n' "ImageMagick reduction" landscape "photos, median" "photos, range"
looks=()
for i in "${!reductions[@]}"; do
    r=${reductions[$i]}
    landscape=$(bytes "$tmp/photo.png" "$r" "$tmp/l$i.png")
    for p in $photos; do bytes "$cache/$package/$p.jpg" "$r" "$tmp/p.png"; done | sort -n >"$tmp/sizes"
    n=$(wc -l <"$tmp/sizes")
    printf '| %-26s | %12s | %12s | %9s-%-9s |\n' "${r:-(as it comes)}" "$landscape" \
        "$(sed -n "$(((n + 1) / 2))p" "$tmp/sizes")" "$(head -1 "$tmp/sizes")" "$(tail -1 "$tmp/sizes")"
    bytes "$cache/$package/aitzgorri_by_Aitzol_Berasategi.jpg" "$r" "$tmp/$i.png" >/dev/null
    looks+=("$tmp/$i.png")
done
if [ $# -ge 1 ]; then
    montage "${looks[@]}" -tile "${#looks[@]}x1" -geometry 200x160+2+2 -background white -depth 8 "$1"
    echo "reductions: one photo's looks, left to right in the table's order: $1"
fi
