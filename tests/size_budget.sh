# The receiver's programs are small: builds them for the receiver and fails
# when a stripped program outgrows its budget. Linked dynamically against the
# C library, runbar and verdump get 16 KiB each, splash its picture's bytes
# plus 16 KiB. The statically linked sizes are printed alongside.
set -eu
cd "$(dirname "$0")/.."
for preset in mips-dynamic mips; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target runbar splash verdump >/dev/null
done
picture_bytes=$(($(grep -o '0x[0-9a-f]\{8\},' splash/pic_data.cpp | wc -l) * 4))
stripped() { mips-linux-gnu-strip -o "$tmp/s" "$1" && stat -c %s "$tmp/s"; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
printf '%-8s %10s %10s %10s\n' program dynamic budget static
for prog in runbar splash verdump; do
    budget=16384
    [ $prog = splash ] && budget=$((picture_bytes + 16384))
    dynamic=$(stripped build/mips-dynamic/$prog/$prog)
    static=$(stripped build/mips/$prog/$prog)
    verdict=ok
    [ "$dynamic" -le "$budget" ] || { verdict="OVER BUDGET"; status=1; }
    printf '%-8s %10d %10d %10d  %s\n' $prog "$dynamic" "$budget" "$static" "$verdict"
done
echo "size: the boot picture is $picture_bytes bytes"
bash tests/e2e/runtime_deps.sh build/mips-dynamic/runbar/runbar build/mips-dynamic/splash/splash \
    build/mips-dynamic/verdump/verdump || status=1
exit $status
