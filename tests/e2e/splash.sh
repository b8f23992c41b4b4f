# splash in the simulated receiver: the mapping's failure paths and a full paint.
. "$(dirname "$0")/lib.sh"

# words_without_ff FILE: how many pixel words lack the top byte 0xFF.
words_without_ff() { od -An -v -tx4 --endian="$endian" "$1" | tr -s ' ' '\n' | grep -c -v -E '^(ff.{6})?$'; }

sim -n "$prog" >"$root/out" 2>"$root/err"
check "missing device exits 1" test $? -eq 1
check "missing device gives the mmap report" grep -qx "mmap: .*" "$root/err"
check "missing device is not created" test ! -e "$fb"

# Devices that cannot be drawn on: one byte shorter than a frame, and one
# that cannot be mapped at all (a FIFO); the file is left as it was.
for device in short fifo; do
    rm -f "$fb"
    case $device in
        short) head -c 1658879 /dev/zero >"$fb"; error=ENXIO ;;
        fifo) mkfifo "$fb"; error=ENODEV ;;
    esac
    sim -n "$prog" >"$root/out" 2>"$root/err"
    check "a $device device exits 1" test $? -eq 1
    check "a $device device gives the mmap report" test "$(cat "$root/err")" = "mmap: $(errtext $error)"
done
rm -f "$fb"
head -c 1658879 /dev/zero >"$fb"
sim -n "$prog" >/dev/null 2>&1
check "the short device file is left as it was" cmp -s "$fb" <(head -c 1658879 /dev/zero)
rm -f "$fb"

sim "$prog" ignored arguments >"$root/out" 2>"$root/err"
check "a paint exits 0" test $? -eq 0
check "a paint prints nothing" test ! -s "$root/out" -a ! -s "$root/err"
check "every one of the 414,720 words is a pixel word" test "$(words_without_ff "$fb")" -eq 0
check "the device file keeps its size" test "$(stat -c %s "$fb")" -eq 1658880

# A device of exactly a frame is painted; the mapping failing for another
# reason (no memory) gives its report and paints nothing.
head -c 1658880 /dev/zero >"$fb"
inject mmap '1658880' ENOMEM /opt/bin/splash
status=$?
if [ $status -ne 77 ]; then
    check "a failed mapping exits 1" test $status -eq 1
    check "a failed mapping gives the mmap report" test "$(cat "$root/err")" = "mmap: $(errtext ENOMEM)"
    check "a failed mapping paints nothing" cmp -s "$fb" <(head -c 1658880 /dev/zero)
fi

# The whole picture is locked into memory, once; a lock refused changes
# nothing of the paint. The picture's size is its symbol's, where the
# program has symbols.
sim "$prog" >/dev/null 2>&1
cp "$fb" "$root/painted"
head -c 1658880 /dev/zero >"$fb"
inject mlock '' ENOMEM /opt/bin/splash
status=$?
if nm "$prog" 2>/dev/null | grep -q ' __asan_init$'; then
    echo "skipped: the sanitizer build does not lock memory (its mlock does nothing)"
elif [ $status -ne 77 ]; then
    check "a refused lock: status 0 ($status), the same paint" eval '[ $status -eq 0 ] && cmp -s "$fb" "$root/painted"'
    size=$(nm -S --defined-only "$prog" 2>/dev/null | awk '$4 == "pic" { print $2 }')
    [ -z "$size" ] || size=$((16#$size))
    locked=$(grep '^mlock(' "$root/tmp/normal.trace" | sed -n 's/^mlock([^,]*, \([0-9]*\)).*/\1/p')
    if [ -n "$size" ]; then
        check "the picture's $size bytes are locked, once" test "$locked" = "$size"
    else
        echo "skipped: $prog has no symbol for the picture's size"
    fi
fi

finish
