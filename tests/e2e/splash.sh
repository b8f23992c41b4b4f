# splash in the simulated receiver: the mapping's failure paths and a full paint.
. "$(dirname "$0")/lib.sh"

# words_without_ff FILE: how many pixel words lack the top byte 0xFF.
words_without_ff() { od -An -v -tx4 --endian="$endian" "$1" | tr -s ' ' '\n' | grep -c -v -E '^(ff.{6})?$'; }

sim -n "$prog" >"$root/out" 2>"$root/err"
check "missing device exits 1" test $? -eq 1
check "missing device gives the mmap report" grep -qx "mmap: .*" "$root/err"
check "missing device is not created" test ! -e "$fb"

head -c 4096 /dev/zero >"$fb"
sim -n "$prog" >"$root/out" 2>"$root/err"
check "short device exits 1" test $? -eq 1
check "short device gives the mmap report" test "$(cat "$root/err")" = "mmap: $(errtext ENXIO)"
check "short device file is left as it was" cmp -s "$fb" <(head -c 4096 /dev/zero)
rm -f "$fb"

sim "$prog" ignored arguments >"$root/out" 2>"$root/err"
check "a paint exits 0" test $? -eq 0
check "a paint prints nothing" test ! -s "$root/out" -a ! -s "$root/err"
check "every one of the 414,720 words is a pixel word" test "$(words_without_ff "$fb")" -eq 0
check "the device file keeps its size" test "$(stat -c %s "$fb")" -eq 1658880

finish
