# The README's recipes for a boot picture of one's own, run as written in a
# scratch tree that shares this one's tools and builds (the build step is
# left out): a photo of another size becomes the picture's source, and its
# preview shows it with the bar filling and completed; a smaller logo with
# soft edges keeps its transparency.
#   tests/picture/recipe.sh       (after the native and the receiver builds)
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tests/lib.sh"
suite=picture-recipes
under=()
convert -version 2>/dev/null | grep -q ImageMagick || { echo "skipped: ImageMagick is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/splash" "$tmp/pictures"
ln -s "$top/tools" "$tmp/tools"
ln -s "$top/build" "$tmp/build"
"$top/build/native/tools/mkpictures" "$tmp/pictures" || exit 1
convert "$tmp/pictures/gradient.png" -resize '1024x600!' -quality 90 "$tmp/my-photo.jpg" || exit 1
convert "$tmp/pictures/logo-alpha.png" -gravity center -crop 440x400+0+0 +repage "$tmp/my-logo.png" || exit 1
cp "$tmp/pictures/logo-alpha.png" "$tmp/my-logo-src.png"

# run NAME: the recipe in the scratch tree, its output in $tmp/NAME.out.
run() {
    local text
    text=$(readme_block "$1")
    check "the README has the recipe $1" test -n "$text" || return 1
    (cd "$tmp" && cmake() { :; } && eval "$text") >"$tmp/$1.out" 2>&1
    check "recipe $1 runs" test $? -eq 0 || { cat "$tmp/$1.out"; return 1; }
}

if run boot-picture; then
    check "the photo becomes a 720x576 picture" test "$(identify -format '%wx%h' "$tmp/splash/splash.png")" = 720x576
    check "its source is made" grep -q '^constexpr std::uint32_t pic\[\] = {' "$tmp/splash/pic_data.cpp"
    check "picenc says the bytes it takes in splash" grep -q ' bytes in splash; ' "$tmp/boot-picture.out"
    check "the preview is two screens side by side" test "$(identify -format '%wx%h' "$tmp/sim/preview.png")" = 1440x576
    # The bar's boundary column while filling: dark on the left screen, light on the right's end cap side.
    filling=$(convert "$tmp/sim/preview.png" -format '%[pixel:p{400,200}]' info:)
    complete=$(convert "$tmp/sim/preview.png" -format '%[pixel:p{1120,200}]' info:)
    check "the preview shows the bar filling ($filling at column 400) and completed ($complete)" \
        test "$filling" != "$complete"
fi
if run boot-photo; then
    check "the photo's reduced picture is made" grep -q ' bytes in splash; ' "$tmp/boot-photo.out"
    check "preview says the photo's pixels under the bar" grep -q '^preview: 6500 opaque pixels of the picture lie under the bar' "$tmp/boot-photo.out"
fi
if run boot-picture-transparent; then
    corner=$(convert "$tmp/splash/splash.png" -format '%[fx:p{0,0}.a]' info:)
    check "the extended area stays transparent (alpha $corner)" test "$corner" = 0
    check "transparent pixels become skip runs" grep -Eq '\([1-9][0-9]* skip runs\)' "$tmp/boot-picture-transparent.out"
    check "the soft edges are blended over the colour given" \
        grep -q 'partly transparent pixels blended over 000000' "$tmp/boot-picture-transparent.out"
    check "the logo's preview is made" test "$(identify -format '%wx%h' "$tmp/sim/preview.png")" = 1440x576
    (cd "$tmp" && tools/picture/preview splash/splash.png sim/none.png) >"$tmp/nobg.out" 2>&1
    check "preview without --background names its own option" \
        grep -q '^preview: give preview the colour .*: preview --background RRGGBB splash/splash.png sim/none.png$' "$tmp/nobg.out"
    # preview's options on the soft-edged logo: --background as picenc's, -s the fields as stored.
    (cd "$tmp" && tools/picture/preview --background 000000 -s sim/fields.png my-logo-src.png sim/logo.png) \
        >"$tmp/preview.out" 2>&1
    check "preview --background -s runs" test $? -eq 0 || cat "$tmp/preview.out"
    check "preview -s writes both screens as stored" test "$(identify -format '%wx%h' "$tmp/sim/fields.png")" = 1440x576
    # Display line 1 is the lower field's first line: woven it is line 1, as stored line 288.
    # Where a centred logo meets the bar (display lines 200-219): an opaque
    # logo 400 pixels wide, of each height, put in place by the recipe's
    # first line and previewed; preview counts its pixels under the bar.
    place=$(readme_block boot-picture-transparent | head -1)
    for h in 137 138 175 176; do
        (cd "$tmp" && convert -size 400x$h xc:white my-logo.png && eval "$place" &&
            tools/picture/preview splash/splash.png sim/logo-$h.png) >"$tmp/logo-$h.out" 2>&1
        under[h]=$(sed -n 's/^preview: \([0-9]*\) opaque pixels .*/\1/p' "$tmp/logo-$h.out")
    done
    check "a centred logo of 137 lines leaves the bar alone, of 138 covers its last line (${under[138]:-0} pixels)" \
        test -z "${under[137]}" -a "${under[138]}" = 325
    check "of 175 lines all but its first line (${under[175]:-0}), of 176 all of it (${under[176]:-0})" \
        test "${under[175]}" = 6175 -a "${under[176]}" = 6500
    check "the stored picture differs from the woven one" test "$(compare -metric AE "$tmp/sim/fields.png" "$tmp/sim/logo.png" null: 2>&1)" != 0
fi
finish
