# The worst picture for the format, every pixel different (all literals),
# encodes and its generated source compiles with each compiler the project
# builds with: gcc for the PC, gcc for the receiver, clang (the fuzz build).
#   worst_case.sh PICENC MKPICTURES
set -u
picenc=$1 mkpictures=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$mkpictures" "$tmp" || exit 1
"$picenc" "$tmp/noise.png" "$tmp/pic_data.cpp" || exit 1
failed=0
for cxx in g++ mips-linux-gnu-g++ clang++; do
    if "$cxx" -std=c++20 -O2 -I "$top" -c "$tmp/pic_data.cpp" -o "$tmp/pic.o" 2>"$tmp/err"; then
        echo "ok: $cxx compiles the worst-case picture ($(stat -c %s "$tmp/pic.o") bytes of object)"
    else
        echo "FAILED: $cxx: $(head -3 "$tmp/err")"
        failed=1
    fi
done
exit $failed
