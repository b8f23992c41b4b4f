# picenc refuses what it cannot encode, and a wrong command line, with a
# message saying what was wrong and a non-zero status; a picture made with
# --background stays in sync with the options it was made with.
#   picenc_errors.sh PICENC DRAWSPLASH MKPICTURES
set -u
picenc=$(realpath "$1") drawsplash=$2 mkpictures=$3
here=$(cd "$(dirname "$0")" && pwd)
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
for size in 720x1 1x576 721x576 720x577; do
    convert -size $size xc:red PNG24:"$tmp/$size.png"
    refuses "a picture of $size, wrong in one dimension" "$tmp/$size.png" "the picture is $size, the screen is 720x576"
done
convert -size 720x576 xc:'rgba(255,0,0,0.5)' PNG32:"$tmp/all-half.png"
refuses "a picture all partly transparent" "$tmp/all-half.png" "png: 414720 pixels are partly transparent"
# One half-red pixel (alpha 127) on black.
convert -size 720x576 xc:black -fill 'rgba(255,0,0,0.5)' -draw 'color 0,0 point' PNG32:"$tmp/one-half.png"
refuses "a picture with one partly transparent pixel" "$tmp/one-half.png" "png: 1 pixels are partly transparent"
# Blended over 102050: (255 * 127 + 0x10 * 128 + 127) / 255 = 0x87, and so on.
if "$picenc" --words --background 102050 "$tmp/one-half.png" "$tmp/one-half.words" >/dev/null &&
    od -An -tx1 "$tmp/one-half.words" | tr -d ' \n' | grep -q ff871028; then
    echo "ok: a partly transparent pixel is blended over the --background colour (871028)"
else
    echo "FAILED: the blend over 102050: $(od -An -tx1 "$tmp/one-half.words" | tr -d '\n')"; failed=$((failed + 1))
fi
"$mkpictures" "$tmp"
refuses "a picture with partly transparent pixels" "$tmp/logo-alpha.png" \
    "2256 pixels are partly transparent, .* give --background RRGGBB"
[ ! -e "$tmp/out.cpp" ] || { echo "FAILED: output written for a refused picture"; failed=$((failed + 1)); }
if "$picenc" --background 102050 "$tmp/logo-alpha.png" "$tmp/out.cpp" >"$tmp/said" &&
    grep -qx "$tmp/logo-alpha.png: 6327 words, 25308 bytes in splash; 2821 tokens: 1505 runs (739 skip runs), 1316 literals; 2256 partly transparent pixels blended over 102050" "$tmp/said"; then
    echo "ok: with a background colour the soft edges are blended"
else
    echo "FAILED: --background: $(cat "$tmp/said")"; failed=$((failed + 1))
fi

# misuses ARGS|MESSAGE: status 2 and a line saying what was wrong.
while IFS='|' read -r args message; do
    # shellcheck disable=SC2086 # the arguments are words
    "$picenc" $args 2>"$tmp/err" >/dev/null
    status=$?
    if [ $status -eq 2 ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] && grep -qF "picenc: $message (picenc --help for the usage)" "$tmp/err"; then
        echo "ok: picenc $args: $(cat "$tmp/err")"
    else
        echo "FAILED: picenc $args: status $status, $(cat "$tmp/err")"; failed=$((failed + 1))
    fi
done <<TABLE
--colour 000000 a.png b.cpp|unknown option --colour
--background 12345 a.png b.cpp|--background takes a colour as six hexadecimal digits (RRGGBB), not '12345'
--background 1234567 a.png b.cpp|--background takes a colour as six hexadecimal digits (RRGGBB), not '1234567'
--background 0x1234 a.png b.cpp|--background takes a colour as six hexadecimal digits (RRGGBB), not '0x1234'
--background +12345 a.png b.cpp|--background takes a colour as six hexadecimal digits (RRGGBB), not '+12345'
--background 12345g a.png b.cpp|--background takes a colour as six hexadecimal digits (RRGGBB), not '12345g'
--max-bytes +20812 a.png b.cpp|--max-bytes takes a number of bytes, not '+20812'
--max-bytes 0 a.png b.cpp|--max-bytes takes a number of bytes, not '0'
--background|--background needs a value
--max-bytes lots a.png b.cpp|--max-bytes takes a number of bytes, not 'lots'
--max-bytes 9223372036854775808 a.png b.cpp|--max-bytes takes a number of bytes, not '9223372036854775808'
a.png b.cpp c.cpp|expected PICTURE.png and OUTPUT, got 3 arguments
a.png|expected PICTURE.png and OUTPUT, got 1 argument
|expected PICTURE.png and OUTPUT, got 0 arguments
TABLE
if "$picenc" --help >"$tmp/help" 2>&1 && grep -q '^usage: picenc' "$tmp/help"; then
    echo "ok: --help prints the usage and exits 0"
else
    echo "FAILED: --help"; failed=$((failed + 1))
fi
# --max-bytes at the picture's own size and one below it.
if "$picenc" --max-bytes 20812 "$tmp/good.png" "$tmp/big.cpp" >"$tmp/said" 2>"$tmp/err" &&
    ! "$picenc" --max-bytes 20811 "$tmp/good.png" "$tmp/big.cpp" 2>"$tmp/err" &&
    grep -q "needs 20812 bytes in splash, more than --max-bytes 20811" "$tmp/err" &&
    grep -qF -- "-blur 0x3 -posterize 8" "$tmp/err"; then
    echo "ok: a picture of exactly --max-bytes is taken, one byte over is refused with its size"
else
    echo "FAILED: --max-bytes: $(cat "$tmp/err")"; failed=$((failed + 1))
fi
# What picenc says of a picture, a whole line: of ours, and of one pixel blended.
"$picenc" --background 102050 "$tmp/one-half.png" "$tmp/big.cpp" >>"$tmp/said"
if [ "$(cat "$tmp/said")" = "$tmp/good.png: 5203 words, 20812 bytes in splash; 2601 tokens: 2601 runs (0 skip runs), 0 literals
$tmp/one-half.png: 5 words, 20 bytes in splash; 2 tokens: 1 runs (0 skip runs), 1 literals; 1 partly transparent pixels blended over 102050" ] &&
    [ "$(tail -c 1 "$tmp/said" | od -An -tx1 | tr -d ' ')" = 0a ]; then
    echo "ok: picenc says what it made, a line a picture"
else
    echo "FAILED: picenc says: $(cat "$tmp/said")"; failed=$((failed + 1))
fi
# takes ARGS|STATUS|MESSAGE: picenc ARGS on our picture ends with STATUS,
# saying MESSAGE (- for none looked for).
while IFS='|' read -r args want message; do
    # shellcheck disable=SC2086 # the arguments are words
    "$picenc" $args "$tmp/good.png" "$tmp/big.cpp" >/dev/null 2>"$tmp/err"
    status=$?
    if [ $status -eq "$want" ] && { [ "$message" = - ] || grep -qF -- "$message" "$tmp/err"; }; then
        echo "ok: picenc $args: status $status"
    else
        echo "FAILED: picenc $args: status $status, $(cat "$tmp/err")"; failed=$((failed + 1))
    fi
done <<TABLE
--max-bytes 65536|0|-
--max-bytes 1|1|more than --max-bytes 1;
--max-bytes 9223372036854775807|0|-
--background FfA0a0|0|-
TABLE

# The generated source names the paths it was made from, quoted for the shell.
mkdir -p "$tmp/a folder"
"$picenc" "$tmp/good.png" "$tmp/a folder/pic.cpp" >/dev/null
if grep -qxF "// Generated from $tmp/good.png by picenc, which checked that it paints that" "$tmp/a folder/pic.cpp" &&
    grep -qxF "//   build/native/tools/picenc $tmp/good.png '$tmp/a folder/pic.cpp'" "$tmp/a folder/pic.cpp"; then
    echo "ok: the generated source names the paths it was made from"
else
    echo "FAILED: the generated source's head: $(head -4 "$tmp/a folder/pic.cpp")"; failed=$((failed + 1))
fi

# A soft-edged logo, made with --background as picenc asks: the sync test
# regenerates it with the same option and passes.
mkdir -p "$tmp/tree/splash"
cp "$tmp/logo-alpha.png" "$tmp/tree/splash/splash.png"
(cd "$tmp/tree" && "$picenc" --background 000000 splash/splash.png splash/pic_data.cpp >/dev/null &&
    bash "$here/in_sync.sh" "$picenc") >"$tmp/sync" 2>&1
if [ $? -eq 0 ]; then
    echo "ok: a picture made with --background stays in sync: $(tail -1 "$tmp/sync")"
else
    echo "FAILED: in sync after --background: $(cat "$tmp/sync")"; failed=$((failed + 1))
fi
[ $failed -eq 0 ]
