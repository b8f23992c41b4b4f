# verdump in the simulated receiver, with its files at their fixed paths.
. "$(dirname "$0")/lib.sh"

list=$root/pvr/SERVICES/services.txt
versions=$root/data/SI/versions2
mkdir -p "$(dirname "$list")" "$(dirname "$versions")"

# line NAME NUMBER IDS: a list line with its fields at columns 0, 37 and 102.
line() { printf '%-37s%-65s%s\n' "$1" "$2" "$3"; }
# bytes HEX...: raw bytes from hex pairs.
bytes() { for h in "$@"; do printf "\\x$h"; done; }
example() {
    bytes 00 01 04 4d 6d ca 00 00 05 05 ff 02
    head -c 16 /dev/zero
    bytes 45 79 c7 c4 45 79 ce cc
}

{ printf '\005'; line "Sample TV" 7 "44d 6dca 1"; line '%s%n%s' 123 "1 2 3"; } >"$list"
{ example; bytes 00 03 00 01 00 02 00 00 7f 80 ff 00; head -c 24 /dev/zero; } >"$versions"
sim "$prog" ignored >"$root/out" 2>"$root/err"
check "a report exits 0" test $? -eq 0
check "the example line, byte for byte" test "$(sed -n 1p "$root/out")" = \
    "07 Sample TV    0001044d 6dca0000 4e=05:4f=05:      51=02: end=08.12.2006-20:15:00 begin_next=08.12.2006-20:45:00"
check "a name is printed as it stands, never as a format" test "$(sed -n 2p "$root/out")" = \
    "123%s%n%s       00030001 00020000 4e=7f:            51=00: end=01.01.1970-00:00:00 begin_next=01.01.1970-00:00:00"
check "nothing on standard error" test ! -s "$root/err"

# A NUL byte in a line hides neither the number nor the identifiers.
{ printf '\000Sample TV%28s%-65s%s\n' '' 7 "44d 6dca 1"; } >"$list"
example >"$versions"
sim "$prog" >"$root/out" 2>"$root/err"
check "a NUL at column 0 is dropped from the label" test "$(cut -c1-16 "$root/out")" = "07 Sample TV    "

# A line of 200 bytes or more is one entry, a NUL in it or not: what follows
# its first 199 bytes (here identifiers at the 102nd column of the rest) is
# never an entry of its own.
{ printf 'Long%s\000%s' "$(printf '%145s' '')" "$(printf '%49s' '')"; line "Tail" 9 "1 2 3"; } >"$list"
{ bytes 00 03 00 01 00 02 00 00 05 05 05 05; head -c 24 /dev/zero; } >"$versions"
sim "$prog" >"$root/out" 2>"$root/err"
check "the rest of a long line with a NUL labels nothing" test "$(cut -c1-9 "$root/out")" = "not found"

# A full disk is a failure, said on standard error, for one record or many.
for n in 1 38 76; do
    for _ in $(seq $n); do example; done >"$versions"
    sim "$prog" >/dev/full 2>"$root/err"
    check "$n records to a full disk exit 1" test $? -eq 1
    check "$n records to a full disk say so" test "$(cat "$root/err")" = "stdout: $(errtext ENOSPC)"
done
# A file size limit that takes one byte: that byte is written, the next
# write's failure is said (its signal ignored, as a shell's trap '' XFSZ does;
# the message through a pipe, which the limit does not cut).
example >"$versions"
if [ "$endian" = little ]; then
    sim /bin/sh -c "trap '' XFSZ; exec prlimit --fsize=1 -- /opt/bin/verdump" 2>&1 >"$root/out" | cat >"$root/err"
    status=${PIPESTATUS[0]}
    check "a limit of one byte: status 1 ($status), one byte, and the limit said" \
        eval '[ $status -eq 1 ] && [ "$(stat -c %s "$root/out")" = 1 ] && [ "$(cat "$root/err")" = "stdout: $(errtext EFBIG)" ]'
else
    echo "skipped: the file size limit is set in the simulated receiver's shell, which runs no MIPS program"
fi

: >"$versions"
sim "$prog" >"$root/out" 2>"$root/err"
check "an empty versions file prints nothing and exits 0" test $? -eq 0 -a ! -s "$root/out"

head -c 4000 /dev/zero >"$versions"
sim "$prog" >"$root/out" 2>"$root/err"
check "4,000 bytes print 100 lines" test "$(wc -l <"$root/out")" -eq 100

# Either file missing, or a failed read of it: status 1, the file named with
# the reason, no report. The rows: missing, or the read (its trace line) |
# the file named.
while IFS='|' read -r which path; do
    [ -n "$which" ] || continue
    example >"$versions"
    line "Sample TV" 7 "44d 6dca 1" >"$list"
    if [ "$which" = missing ]; then
        what="a missing $path" error=ENOENT
        rm -f "$root$path"
        sim "$prog" >"$root/out" 2>"$root/err"
    else
        what="a failed read ($which) of $path" error=EIO
        inject read "$which" EIO /opt/bin/verdump
    fi
    status=$?
    [ $status -eq 77 ] && { echo "skipped: strace cannot watch this build's verdump"; continue; }
    check "$what exits 1" test $status -eq 1
    check "and says so" test "$(cat "$root/err")" = "$path: $(errtext $error)"
    check "and prints no report" test ! -s "$root/out"
done <<'TABLE'
missing|/data/SI/versions2
missing|/pvr/SERVICES/services.txt
"Sample TV|/pvr/SERVICES/services.txt
, 3600\)|/data/SI/versions2
, 3564\)|/data/SI/versions2
TABLE

# An interrupted write of the report is made again: the whole report, status
# 0. A write that takes nothing is a failure said, not a retry for ever.
sim "$prog" >"$root/whole" 2>/dev/null
inject write '' EINTR /opt/bin/verdump
status=$?
if [ $status -ne 77 ]; then
    check "an interrupted write: status 0 ($status), and the whole report" eval '[ $status -eq 0 ] && cmp -s "$root/out" "$root/whole"'
    inject write '' retval=0 /opt/bin/verdump
    status=$?
    check "a write of nothing: status 1 ($status), stdout named" eval '[ $status -eq 1 ] && grep -q "^stdout: " "$root/err"'
fi
# An interrupted read of either file is made again, to the file's end; a
# list without a service, or no standard input, changes nothing else.
for which in '"Sample TV' ', 3600\)'; do
    inject read "$which" EINTR /opt/bin/verdump
    status=$?
    [ $status -eq 77 ] && break
    check "an interrupted read ($which): status 0 ($status), and the whole report" \
        eval '[ $status -eq 0 ] && cmp -s "$root/out" "$root/whole"'
done
sim "$prog" <&- >"$root/out" 2>"$root/err"
status=$?
check "without standard input: status 0 ($status), and the whole report" eval '[ $status -eq 0 ] && cmp -s "$root/out" "$root/whole"'
cp "$list" "$root/list"
: >"$list"
sim "$prog" >"$root/out" 2>"$root/err"
status=$?
check "an empty service list: status 0 ($status), every record not found" eval '[ $status -eq 0 ] &&
    [ "$(cut -c1-9 "$root/out" | sort -u)" = "not found" ] && [ "$(wc -l <"$root/out")" = "$(wc -l <"$root/whole")" ]'
cp "$root/list" "$list"
# The times are UTC whatever the zone the caller lives in.
TZ=Asia/Tokyo sim "$prog" >"$root/tokyo" 2>/dev/null
check "the report under TZ=Asia/Tokyo is the same" cmp -s "$root/tokyo" "$root/whole"

# A list line written the way the README shows is read with its fields,
# also with a name longer than its column.
for name in "Sample TV" "A name of 40 bytes, past column 37 ....." " A leading blank"; do
    rm -f "$list"
    sim /bin/sh -c "$(readme_block service-line | sed "s/\"Sample TV\"/\"$name\"/")"
    example >"$versions"
    sim "$prog" >"$root/out" 2>"$root/err"
    check "a list line written as the README shows labels its record (${#name} bytes of name)" \
        test "$(cut -c1-16 "$root/out")" = "$(printf '07 %-12.12s ' "$name")"
done

finish
