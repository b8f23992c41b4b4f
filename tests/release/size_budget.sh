# The receiver's programs are small: fails when a stripped program of the
# release (static on musl) outgrows its budget: runbar 56 KiB, verdump 80 KiB,
# splash its picture's bytes plus 24 KiB. The glibc builds' sizes, linked
# dynamically and statically, are printed alongside, and the dynamically
# linked ones must need nothing but the C library. runbar and splash must
# link no floating-point routine.
set -eu
cd "$(dirname "$0")/../.."
for preset in receiver mips-dynamic mips; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target runbar splash verdump >/dev/null
done
picture_bytes=$(($(grep -o '0x[0-9a-f]\{8\},' splash/pic_data.cpp | wc -l) * 4))
stripped() { mips-linux-gnu-strip -o "$tmp/s" "$1" && stat -c %s "$tmp/s"; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
printf '%-8s %14s %14s %12s %10s\n' program "glibc dynamic" "glibc static" "musl static" budget
for prog in runbar splash verdump; do
    case $prog in
        runbar) budget=$((56 * 1024)) ;;
        verdump) budget=$((80 * 1024)) ;;
        splash) budget=$((picture_bytes + 24 * 1024)) ;;
    esac
    musl=$(stripped build/receiver/$prog/$prog)
    verdict=ok
    [ "$musl" -le "$budget" ] || { verdict="OVER BUDGET"; status=1; }
    printf '%-8s %14d %14d %12d %10d  %s\n' $prog "$(stripped build/mips-dynamic/$prog/$prog)" \
        "$(stripped build/mips/$prog/$prog)" "$musl" "$budget" "$verdict"
done
echo "size: the boot picture is $picture_bytes bytes"
# The one-program build: one copy of musl for the three.
cmake --build --preset receiver --target rxtools >/dev/null
three=$(($(stripped build/receiver/runbar/runbar) + $(stripped build/receiver/splash/splash) + $(stripped build/receiver/verdump/verdump)))
one=$(stripped build/receiver/multicall/rxtools)
if [ "$one" -lt "$three" ]; then
    echo "size: rxtools, the three in one: $one bytes, against $three for the three programs"
else
    echo "size: rxtools ($one bytes) is not smaller than the three programs ($three)"
    status=1
fi
# runbar and splash have no use for floating point: none of the routines that
# do it in software (compiler-rt's, named for their types: sf, df, tf) may be
# linked into them, nor printf's formatting, which brings them.
for prog in runbar splash; do
    float=$(mips-linux-gnu-nm build/receiver/$prog/$prog | awk '$3 ~ /^__[a-z]+[sdt]f[0-9]$|^__powi[sdt]f2$|^(vfprintf|printf_core|fmt_fp)$/ { print $3 }' | tr '\n' ' ')
    if [ -n "$float" ]; then
        echo "size: $prog links floating-point code: $float"
        status=1
    else
        echo "size: $prog links no floating-point code"
    fi
done
bash tests/e2e/runtime_deps.sh build/mips-dynamic/runbar/runbar build/mips-dynamic/splash/splash \
    build/mips-dynamic/verdump/verdump || status=1
exit $status
