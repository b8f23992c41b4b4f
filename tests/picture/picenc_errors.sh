# picenc refuses what it cannot encode with a message and a non-zero status.
#   picenc_errors.sh PICENC DRAWSPLASH MKPICTURES
set -u
picenc=$1 drawsplash=$2 mkpictures=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
refuses() { # WHAT FILE MESSAGE-PATTERN
    if "$picenc" "$2" "$tmp/out.cpp" 2>"$tmp/err"; then
        echo "FAILED: $1 accepted"; failed=$((failed + 1))
    elif [ "$(wc -l <"$tmp/err")" -ne 1 ] || ! grep -q "^picenc: .*$3" "$tmp/err"; then
        echo "FAILED: $1: unexpected message: $(cat "$tmp/err")"; failed=$((failed + 1))
    else
        echo "ok: $1: $(cat "$tmp/err")"
    fi
}
refuses "a missing file" "$tmp/none.png" "No such file or directory"
printf 'GIF89a not a png' >"$tmp/fake.png"
refuses "a file that is not a PNG" "$tmp/fake.png" "not a PNG file"
"$drawsplash" "$tmp/good.png"
head -c 200 "$tmp/good.png" >"$tmp/cut.png"
refuses "a damaged PNG" "$tmp/cut.png" "damaged PNG file"
# A valid PNG of a single red pixel.
printf '\211\120\116\107\015\012\032\012\000\000\000\015\111\110\104\122\000\000\000\001\000\000\000\001\010\002\000\000\000\220\167\123\336\000\000\000\014\111\104\101\124\170\234\143\370\317\300\000\000\003\001\001\000\311\376\222\357\000\000\000\000\111\105\116\104\256\102\140\202' >"$tmp/small.png"
refuses "a picture of the wrong size" "$tmp/small.png" "the picture is 1x1, the screen is 720x576"
"$mkpictures" "$tmp"
refuses "a picture with partly transparent pixels" "$tmp/logo-alpha.png" \
    "2256 pixels are partly transparent, .* give --background RRGGBB"
[ ! -e "$tmp/out.cpp" ] || { echo "FAILED: output written for a refused picture"; failed=$((failed + 1)); }
if "$picenc" --background 102050 "$tmp/logo-alpha.png" "$tmp/out.cpp" >"$tmp/said" &&
    grep -q "2256 partly transparent pixels blended over 102050" "$tmp/said"; then
    echo "ok: with a background colour the soft edges are blended"
else
    echo "FAILED: --background: $(cat "$tmp/said")"; failed=$((failed + 1))
fi
[ $failed -eq 0 ]
