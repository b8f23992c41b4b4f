# The worst pictures for the format, every pixel different (all literals)
# and every other pixel transparent (2 words a pixel, the most there can
# be), encode and their generated sources compile with each compiler the
# project builds with: gcc for the PC, gcc for the receiver, clang (the fuzz
# build).
#   worst_case.sh PICENC MKPICTURES
set -u
picenc=$1 mkpictures=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$mkpictures" "$tmp" || exit 1
failed=0
for picture in noise holes; do
    "$picenc" "$tmp/$picture.png" "$tmp/$picture.cpp" || exit 1
    for cxx in g++ mips-linux-gnu-g++ clang++; do
        if "$cxx" -std=c++20 -O2 -I "$top" -c "$tmp/$picture.cpp" -o "$tmp/pic.o" 2>"$tmp/err"; then
            echo "ok: $cxx compiles the worst-case picture $picture ($(stat -c %s "$tmp/pic.o") bytes of object)"
        else
            echo "FAILED: $cxx: $picture: $(head -3 "$tmp/err")"
            failed=1
        fi
    done
done
exit $failed
