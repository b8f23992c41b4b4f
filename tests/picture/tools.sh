#!/usr/bin/env bash
# The picture tools a user runs, with each of their options, on frames and
# pictures whose pixels are known: fbshot's byte orders (-b, -l, -n and its
# own choice), its line orders (-s) and its warning for a screen of both
# orders; picenc --words; paintpic into memory (-m) and into the simulated
# receiver's screen, at its size limit and one past it; that picenc, fbshot
# and paintpic leave the file they replace as it was when the disk refuses
# the write, and replace what they are given as cp does; mksample's folders;
# the pictures drawsplash and mkpictures draw; the command lines refused.
#   tests/picture/tools.sh TOOLS-FOLDER    (build/native/tools)
set -u
bin=$(realpath "$1")
top=$(cd "$(dirname "$0")/../.." && pwd)
suite=tools
. "$top/tests/lib.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
words=207360 # a field

# repeat HEX COUNT [HEX COUNT...]: the 4 bytes HEX (8 hex digits) COUNT
# times, then the next.
repeat() { perl -e 'while (@ARGV) { print pack("H8", shift) x shift }' "$@"; }
# One frame, mostly a MIPS program's: the upper field 0xFF112233 big-endian,
# the lower field blank but its first word 0xFF445566 little-endian.
{ repeat ff112233 $words; printf '\x66\x55\x44\xff'; head -c $((words * 4 - 4)) /dev/zero; } >"$tmp/mips.fb"
# One of both kinds: the lower field all little-endian.
{ repeat ff112233 $words; repeat 665544ff $words; } >"$tmp/mixed.fb"
# A PC program's (little-endian), one with a MIPS program's 1000 words on it, and a blank one.
repeat 665544ff $((2 * words)) >"$tmp/pc.fb"
repeat ff112233 1000 665544ff $((2 * words - 1000)) >"$tmp/pc-1000.fb"
head -c $((8 * words)) /dev/zero >"$tmp/blank.fb"
px() { convert "$1" -format "%[hex:p{$2}]" info:; } # px PNG X,Y: RRGGBB
# traced STRACE-ARGS...: strace -f, without LeakSanitizer's look for leaks,
# which cannot stop a program another tracer holds
traced() { ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -f "$@"; }
# faulted FAULTS COMMAND...: COMMAND traced with each of FAULTS (a word each) injected
faulted() {
    local faults=$1
    shift
    # shellcheck disable=SC2046 # one injection a word
    traced -o /dev/null $(printf -- '-e inject=%s ' $faults) "$@"
}

# The pictures drawn by program, pixel for pixel those the figures were
# measured on, made under umask 027 with 8 open files at most (a descriptor
# kept for each picture would run out): picture | mode | PNG colour type (2
# RGB, 6 with alpha) | MD5 of its RGBA pixels
mkdir "$tmp/made"
check "mkpictures and drawsplash draw (status 0)" \
    eval '(umask 027 && ulimit -n 8 && "$bin/mkpictures" "$tmp/made" && "$bin/drawsplash" "$tmp/made/ours.png")'
while read -r name mode type sum; do
    got="$(stat -c %a "$tmp/made/$name.png") $(od -An -tu1 -j25 -N1 "$tmp/made/$name.png" | tr -d ' ') $(convert "$tmp/made/$name.png" rgba:- | md5sum | cut -c1-32)"
    check "$name.png: $got" test "$got" = "$mode $type $sum"
done <<'TABLE'
ours 640 2 284262123d7d69fe9b5507620a6d30a2
noise 640 2 aedd61c457132871ee7f3d33b786e6b0
gradient 640 2 132f62f898d4721f7e7b5460ba7a7a4c
logo 640 2 cbd5801589b552403aa906dfae49aee6
logo-alpha 640 6 a901e6862feeb86dd691fad059c925e4
photo 640 2 7b6ad976879a6fee8bde168e7f9d8887
holes 640 6 b8186501091b05037f79305b0c6f6463
TABLE

# fbshot: options | frame | pixel | colour | what it says (a pattern, or - for nothing)
while IFS='|' read -r options frame at colour said; do
    [ -n "$frame" ] || continue
    # shellcheck disable=SC2086 # the options are words
    "$bin/fbshot" $options "$tmp/$frame" "$tmp/shot.png" 2>"$tmp/err"
    status=$?
    got=$(px "$tmp/shot.png" "$at" 2>/dev/null)
    check "fbshot ${options:-(no option)} $frame: pixel $at is $colour ($got)" test $status -eq 0 -a "$got" = "$colour"
    if [ "$said" = - ]; then
        check "fbshot ${options:-(no option)} $frame says nothing" test ! -s "$tmp/err"
    else
        check "fbshot ${options:-(no option)} $frame says: $said" grep -q -- "$said" "$tmp/err"
    fi
done <<'TABLE'
-b|mips.fb|0,0|112233|-
-b|mips.fb|0,1|5544FF|-
-b|mips.fb|0,2|112233|-
-l|mips.fb|0,0|2211FF|-
-l|mips.fb|0,1|445566|-
-n|mips.fb|0,0|2211FF|-
-b -s|mips.fb|0,1|112233|-
-s -b|mips.fb|0,288|5544FF|-
|mips.fb|0,0|112233|big-endian pixel words (a MIPS program's)
|mips.fb|0,1|5544FF|big-endian pixel words
-b|mixed.fb|0,0|112233|207360 words are big-endian pixel words (a MIPS program's) and 207360 little-endian
|pc.fb|0,0|445566|little-endian pixel words (a PC program's)
|pc-1000.fb|0,0|2211FF|warning: 1000 words are big-endian pixel words (a MIPS program's) and 413720 little-endian
|blank.fb|0,0|000000|no pixel words to tell the byte order by
|mixed.fb|0,0|2211FF|no pixel words to tell the byte order by
TABLE
# The byte order of the machine the test runs on decides -n's row above, and the tie's (mixed.fb).
[ "$(printf '\x01\x00' | od -An -tu2 | tr -d ' ')" = 1 ] || echo "note: -n's row assumes a little-endian PC"
"$bin/fbshot" -b "$tmp/mips.fb" "$tmp/shot.png" 2>"$tmp/err"
check "a screen of one kind of program gets no warning" test "$(grep -c warning "$tmp/err")" -eq 0
check "fbshot with 4 open files at most (the frame closed before the PNG is written)" \
    eval '(exec 3>&- && ulimit -n 4 && "$bin/fbshot" -b "$tmp/mips.fb" "$tmp/shot.png")'
# Random bytes hold about 1,600 words of each order, none in a program's runs.
head -c 1658880 /dev/urandom >"$tmp/noise.fb"
"$bin/fbshot" "$tmp/noise.fb" "$tmp/shot.png" 2>"$tmp/err"
check "a screen of random bytes gets no warning" test "$(grep -c warning "$tmp/err")" -eq 0
# A MIPS program's screen with N runs of K little-endian words drawn on it,
# each run followed by one word (big-endian; white, which tells no order and
# ends no run; or black, which tells none and ends it): K | N | the word |
# the big-endian and little-endian words the warning counts (- for no warning).
while IFS='|' read -r k n after counted; do
    [ -n "$k" ] || continue
    # shellcheck disable=SC2046 # the runs are words
    repeat $(for ((r = 0; r < n; r++)); do echo 665544ff "$k" "$after" 1; done) ff112233 $((2 * words - n * (k + 1))) >"$tmp/drawn.fb"
    "$bin/fbshot" "$tmp/drawn.fb" "$tmp/shot.png" 2>"$tmp/err"
    what="$n runs of $k little-endian words and $after on a MIPS screen"
    if [ "$counted" = - ]; then
        check "$what: no warning" eval '! grep -q warning "$tmp/err"'
    else
        read -r big little <<<"$counted"
        check "$what: warned of $big big-endian and $little little-endian words" grep -q \
            "warning: $big words are big-endian pixel words (a MIPS program's) and $little little-endian" "$tmp/err"
    fi
done <<'TABLE'
1000|1|ff112233|413720 1000
999|1|ff112233|-
8|125|ff112233|413596 1000
7|200|ff112233|-
4|250|ffffffff|413470 1000
4|250|00000000|-
TABLE
head -c 1658879 "$tmp/mips.fb" >"$tmp/short.fb"
"$bin/fbshot" "$tmp/short.fb" "$tmp/shot.png" 2>"$tmp/err"
status=$?
check "a frame one byte short is refused" \
    eval "[ $status -eq 1 ] && grep -q 'holds 1658879 bytes, a frame buffer has 1658880' '$tmp/err'"

# picenc --words: the picture's words, big-endian, end word included.
"$bin/drawsplash" "$tmp/ours.png"
"$bin/picenc" --words "$tmp/ours.png" "$tmp/ours.words" >/dev/null
check "picenc --words writes the words big-endian (first word 0x0000e57e)" \
    test "$(od -An -tx1 -N4 "$tmp/ours.words" | tr -d ' ')" = 0000e57e
check "and all of them, end word last ($(stat -c %s "$tmp/ours.words") bytes)" \
    test "$(stat -c %s "$tmp/ours.words")" -eq 20812 -a "$(tail -c 4 "$tmp/ours.words" | od -An -tx1 | tr -d ' ')" = 00000000


# paintpic: a picture file painted by the painter, into memory and into the screen.
"$bin/paintpic" -m "$tmp/ours.words" "$tmp/ours.fb" >"$tmp/said"
check "paintpic -m paints the whole screen" grep -q '5203 words, 414720 pixels painted' "$tmp/said"
"$bin/fbshot" -n "$tmp/ours.fb" "$tmp/ours.shot.png" 2>/dev/null
check "and the screen is the picture" test "$(compare -metric AE "$tmp/ours.png" "$tmp/ours.shot.png" null: 2>&1)" = 0
"$bin/picenc" --words "$tmp/made/holes.png" "$tmp/holes.words" >/dev/null
"$bin/paintpic" -m "$tmp/holes.words" "$tmp/holes.fb" >"$tmp/said"
"$bin/fbshot" -n "$tmp/holes.fb" "$tmp/holes.shot.png" 2>/dev/null
got="$(px "$tmp/holes.shot.png" 0,0) $(px "$tmp/holes.shot.png" 1,0)"
check "a transparent pixel is left as the screen held it, the next is painted ($got)" test "$got" = "000000 7ACBDA"
check "a picture of 2 words a pixel is painted whole: $(cat "$tmp/said")" grep -qx 'paintpic: 829440 words, 414720 pixels painted' "$tmp/said"
# A picture of a single skip run (one transparent pixel) is still painted as one that has them.
convert -size 720x576 xc:red -alpha set -fill none -draw 'color 0,0 point' PNG32:"$tmp/one-skip.png"
"$bin/picenc" --words "$tmp/one-skip.png" "$tmp/one-skip.words" >/dev/null
"$bin/paintpic" -m "$tmp/one-skip.words" "$tmp/one-skip.fb" >/dev/null
"$bin/fbshot" -n "$tmp/one-skip.fb" "$tmp/one-skip.shot.png" 2>/dev/null
got="$(px "$tmp/one-skip.shot.png" 0,0) $(px "$tmp/one-skip.shot.png" 1,0)"
check "so is a picture of one skip run ($got)" test "$got" = "000000 FF0000"
if "$top/tools/sim/simrx" -c 2>/dev/null; then
    mkdir -p "$tmp/root/tmp" && cp "$tmp/ours.words" "$tmp/root/tmp/"
    "$top/tools/sim/simrx" -r "$tmp/root" "$bin/paintpic" /tmp/ours.words
    got=$?
    "$bin/fbshot" -n "$tmp/root/dev/fb0" "$tmp/root.png" 2>/dev/null
    check "paintpic paints the simulated receiver's screen (status $got)" \
        eval '[ $got -eq 0 ] && [ "$(compare -metric AE "$tmp/ours.png" "$tmp/root.png" null: 2>&1)" = 0 ]'
fi
# paintpic's limits: size | status | message
max=829441 # words: 2 a pixel and the end word
while IFS='|' read -r bytes status message; do
    [ -n "$bytes" ] || continue
    head -c "$bytes" /dev/zero >"$tmp/limit.words"
    "$bin/paintpic" -m "$tmp/limit.words" "$tmp/limit.fb" >/dev/null 2>"$tmp/err"
    got=$?
    check "paintpic on $bytes bytes: status $status${message:+, $message}" \
        eval "[ $got -eq $status ] && { [ -z '$message' ] || grep -q -- '$message' '$tmp/err'; }"
done <<TABLE
$((max * 4))|0|
$((max * 4 + 4))|1|the picture is larger than the 829441 words (3317764 bytes)
$((max * 4 + 1))|1|the picture is larger than the 829441 words
5|1|ends inside a word
3|1|ends inside a word
0|1|holds no picture
TABLE
# The words file unreadable part way, and no memory for the frame: fault | what paintpic says
count() { traced -o /dev/stdout -e trace="$1" "$bin/paintpic" -m "$tmp/ours.words" "$tmp/count.fb" 2>/dev/null | awk "$2"; }
reading=$(count openat,read '/read\(/ { n++ } /openat\(.*ours\.words/ { f = n } END { print f + 2 }')
mapping=$(count mmap '/mmap\(/ { n++ } /mmap\(NULL, 1658880,/ { print n; exit }')
while IFS='|' read -r fault said; do
    rm -f "$tmp/failed.fb"
    faulted "$fault" "$bin/paintpic" -m "$tmp/ours.words" "$tmp/failed.fb" >/dev/null 2>"$tmp/err"
    got=$?
    check "paintpic with $fault: status 1, $(cat "$tmp/err")" eval '[ $got -eq 1 ] && grep -qx -- "$said" "$tmp/err" && [ ! -e "$tmp/failed.fb" ]'
done <<TABLE
read:error=EIO:when=$reading|paintpic: $tmp/ours.words: Input/output error
mmap:error=ENOMEM:when=$mapping|paintpic: mmap: Cannot allocate memory
TABLE

# A full disk, or a file size limit: the old file stays as it was, no
# temporary file is left, and the status says it failed.
mkdir -p "$tmp/out"
"$bin/picenc" "$tmp/ours.png" "$tmp/out/pic_data.cpp" >/dev/null
head -c 1658880 /dev/urandom >"$tmp/noise.fb"
"$bin/fbshot" -b "$tmp/mips.fb" "$tmp/out/screen.png" 2>/dev/null
"$bin/paintpic" -m "$tmp/ours.words" "$tmp/out/screen.fb" >/dev/null
cp -a "$tmp/out" "$tmp/before"
for run in "picenc $tmp/ours.png $tmp/out/pic_data.cpp" "fbshot -b $tmp/noise.fb $tmp/out/screen.png" \
    "paintpic -m $tmp/ours.words $tmp/out/screen.fb"; do
    # shellcheck disable=SC2086 # the command is words
    (ulimit -f 8 && "$bin/"$run) >/dev/null 2>"$tmp/err"
    status=$?
    check "${run%% *} over a file size limit fails (status $status): $(cat "$tmp/err")" \
        eval "[ $status -eq 1 ] && grep -q 'File too large' '$tmp/err'"
done
check "the files they would have replaced are as they were" diff -r "$tmp/before" "$tmp/out"
# The calls that make a replacement lasting, failing (strace's fault
# injection): faults (a word each) | status | what fbshot says | the file
# after, old or new.
# A folder that refuses the temporary file (read-only, or not the user's to
# write) has the file written in place; a full one fails.
"$bin/fbshot" -b "$tmp/mixed.fb" "$tmp/new.png" 2>/dev/null
# the temporary file's open and the folder's, by their numbers among the calls of openat
opens=$(traced -o /dev/stdout -e trace=openat "$bin/fbshot" -b "$tmp/mixed.fb" "$tmp/out/screen.png" 2>/dev/null)
beside=$(awk '/openat\(/ { n++ } /\/\.screen\.png\./ { print n; exit }' <<<"$opens")
folder=$(awk '/openat\(/ { n++ } /O_DIRECTORY/ { print n; exit }' <<<"$opens")
# and the close that follows the flush to the disk, by its number among the closes
closing() { traced -o /dev/stdout -e trace=fsync,close "$@" 2>/dev/null | awk '/close\(/ { n++ } /fsync\(/ { f = 1 } f && /close\(/ { print n; exit }'; }
closed=$(closing "$bin/fbshot" -b "$tmp/mixed.fb" "$tmp/out/screen.png")
while IFS='|' read -r fault status said after; do
    cp "$tmp/before/screen.png" "$tmp/out/screen.png"
    faulted "$fault" "$bin/fbshot" -b "$tmp/mixed.fb" "$tmp/out/screen.png" 2>"$tmp/err"
    got=$?
    [ "$after" = old ] && want=$tmp/before/screen.png || want=$tmp/new.png
    check "fbshot with $fault: status $status, $after file, no temporary file: $(grep -v warning "$tmp/err")" \
        eval '[ $got -eq $status ] && grep -q -- "$said" "$tmp/err" && cmp -s "$want" "$tmp/out/screen.png" &&
            [ -z "$(ls -A "$tmp/out" | grep "^\.")" ]'
done <<TABLE
fsync:error=EIO:when=1|1|^fbshot: $tmp/out/screen.png: Input/output error$|old
rename,renameat,renameat2:error=EXDEV|1|^fbshot: $tmp/out/screen.png: Invalid cross-device link$|old
fsync:error=EIO:when=2|1|^fbshot: $tmp/out/: Input/output error$|new
fsync:error=EINVAL:when=2|0||new
openat:error=EMFILE:when=$folder|0||new
fcntl:error=EBADF|1|^fbshot: $tmp/out/screen.png: Bad file descriptor$|old
openat:error=ENOSPC:when=$beside|1|^fbshot: $tmp/out/screen.png: No space left on device$|old
openat:error=EROFS:when=$beside|0||new
openat:error=EPERM:when=$beside|0||new
close:error=EIO:when=$closed|1|^fbshot: $tmp/out/screen.png: Input/output error$|old
fsync:error=EIO:when=1 close:error=EBADF:when=$closed|1|^fbshot: $tmp/out/screen.png: Input/output error$|old
TABLE

# What the tools replace, as cp treats it: a link's target (the link stays),
# the file's mode (and owner, as root); a FIFO and an open file of /proc
# (what /dev/stdout is) written straight through; a file the user may write
# in a folder they may not, written in place; and a tool stopped half way
# leaves no temporary file.
"$bin/fbshot" -b "$tmp/mips.fb" "$tmp/want.png" 2>/dev/null
rm -rf "$tmp/out" && mkdir "$tmp/out" && cd "$tmp/out" || exit 1
cp "$tmp/before/screen.png" real.png && chmod 640 real.png && ln -s real.png link.png
[ "$(id -u)" -eq 0 ] && chown 65534:65534 real.png
"$bin/fbshot" -b "$tmp/mips.fb" link.png 2>/dev/null
check "a link's target is replaced and the link stays" eval '[ -L link.png ] && cmp -s real.png "$tmp/want.png"'
check "the file keeps its mode ($(stat -c %a real.png))" test "$(stat -c %a real.png)" = 640
[ "$(id -u)" -eq 0 ] && check "and its owner ($(stat -c %u real.png))" test "$(stat -c %u real.png)" = 65534
# Links as the system follows them: how they are made | the path given | the
# file that gets the picture, or "refused" (no file gets it)
while IFS='|' read -r made path file; do
    rm -rf links && mkdir -p links/sub && (cd links && eval "$made")
    inode=$(stat -c %i "links/$file" 2>/dev/null)
    "$bin/fbshot" -b "$tmp/mips.fb" "links/$path" 2>"$tmp/err"
    got=$?
    if [ "$file" = refused ]; then
        check "$path, $made: refused: $(cat "$tmp/err")" eval '[ $got -eq 1 ] && grep -q "links/$path: Too many levels of symbolic links" "$tmp/err" &&
            [ -z "$(find links -type f -size +0)" ]'
    else
        check "$path, $made: $file is replaced by the picture, the link stays" eval 'cmp -s "links/$file" "$tmp/want.png" &&
            [ "$(stat -c %i "links/$file")" != "$inode" ] && [ -L "links/$path" ]'
    fi
done <<'TABLE'
ln -s ../real.png sub/link.png; : >real.png|sub/link.png|real.png
ln -s "$PWD/real.png" sub/link.png; : >real.png|sub/link.png|real.png
ln -s link2.png link.png; ln -s sub/real.png link2.png; : >sub/real.png|link.png|sub/real.png
ln -s sub/longer-name.png link.png; ln -s r.png sub/longer-name.png; : >sub/r.png|link.png|sub/r.png
for i in $(seq 40); do ln -s l$i l$((i - 1)); done; : >l40|l0|l40
for i in $(seq 41); do ln -s l$i l$((i - 1)); done; : >l41|l0|refused
ln -s b a; ln -s a b|a|refused
TABLE
# A file of two names is written in place, so that both show the picture;
# and one stopped while its bytes go in is whole all the same.
"$bin/fbshot" -b "$tmp/noise.fb" "$tmp/noise.png" 2>/dev/null
cp "$tmp/noise.png" one.png && ln one.png two.png
"$bin/fbshot" -b "$tmp/mips.fb" one.png 2>/dev/null
check "a file of two names is written in place: both show the picture" \
    eval 'cmp -s two.png "$tmp/want.png" && [ "$(stat -c %i one.png)" = "$(stat -c %i two.png)" ]'
second=$(traced -o /dev/stdout -e trace=openat,write "$bin/fbshot" -b "$tmp/noise.fb" one.png 2>/dev/null |
    awk '/^[0-9]+ +write\(/ { n++ } /openat\(.*"one\.png", O_WRONLY\|O_CLOEXEC\)/ { print n + 2; exit }')
cp "$tmp/want.png" one.png
faulted write:signal=TERM:when=$second "$bin/fbshot" -b "$tmp/noise.fb" one.png 2>/dev/null
got=$?
check "SIGTERM in its second block's write: the picture is written whole, then the tool dies of it ($got)" \
    eval '[ $got -eq 143 ] && cmp -s two.png "$tmp/noise.png"'
# Its extended attributes (its ACL among them) go with a replaced file; one
# the file system refuses is dropped, and said.
cp "$tmp/before/screen.png" marked.png
if setfattr -n user.mark -v kept marked.png 2>/dev/null && setfacl -m u:65534:r marked.png 2>/dev/null; then
    "$bin/fbshot" -b "$tmp/mips.fb" marked.png 2>"$tmp/err"
    check "a file's extended attributes and ACL are kept: $(cat "$tmp/err")" eval '[ ! -s "$tmp/err" ] &&
        [ "$(getfattr --only-values -n user.mark marked.png)" = kept ] && getfacl -cn marked.png | grep -qx "user:65534:r--"'
    # fault | what fbshot says (- for nothing) as it writes the picture
    while IFS='|' read -r fault said; do
        faulted "$fault" "$bin/fbshot" -b "$tmp/noise.fb" marked.png 2>"$tmp/err"
        got=$?
        check "with $fault the picture is written (status $got), $(head -1 "$tmp/err")" eval '[ $got -eq 0 ] &&
            cmp -s marked.png "$tmp/noise.png" && if [ "$said" = - ]; then [ ! -s "$tmp/err" ]; else grep -qx "$said" "$tmp/err"; fi'
        setfattr -n user.mark -v kept marked.png
    done <<'TABLE'
fsetxattr:error=EOPNOTSUPP|fbshot: marked.png: the attribute user.mark was dropped: Operation not supported
listxattr:error=EIO|fbshot: marked.png: its extended attributes were dropped: Input/output error
listxattr:error=EOPNOTSUPP|-
TABLE
else
    echo "skipped: this file system keeps no extended attributes or ACLs ($tmp)"
fi
mkfifo fifo && { cat fifo >from-fifo.png & }
"$bin/fbshot" -b "$tmp/mips.fb" fifo 2>/dev/null
wait
check "a FIFO is written through" eval '[ -p fifo ] && cmp -s from-fifo.png "$tmp/want.png"'
ln -s /proc/self/fd/1 to-stdout
"$bin/fbshot" -b "$tmp/mips.fb" to-stdout 2>/dev/null | cat >from-stdout.png
check "an open file of /proc is written through (a pipe here)" eval '[ -L to-stdout ] && cmp -s from-stdout.png "$tmp/want.png"'
faulted fcntl:error=EBADF "$bin/fbshot" -b "$tmp/mips.fb" to-stdout >/dev/null 2>"$tmp/err"
got=$?
check "and a stream that cannot be made of it is said ($(cat "$tmp/err"))" \
    eval '[ $got -eq 1 ] && grep -qx "fbshot: to-stdout: Bad file descriptor" "$tmp/err"'
# The tool's own standard output, named by /dev/fd at any hop, is written
# from where its caller stands: what the caller wrote before and after stays.
ln -s /dev/fd/1 to-fd
for out in /dev/fd/1 to-fd; do
    { echo header; "$bin/fbshot" -b "$tmp/mips.fb" $out; echo footer; } >framed 2>/dev/null
    check "$out: the caller's output before and after the picture stays" cmp -s framed <(echo header; cat "$tmp/want.png"; echo footer)
done
for out in /dev/stdout /proc/self/fd/1; do
    head -c 3000000 /dev/urandom >long.png
    inode=$(stat -c %i long.png)
    "$bin/fbshot" -b "$tmp/mips.fb" $out 1<>long.png 2>/dev/null
    check "a longer file open as standard output, named $out, is emptied and written through" \
        eval 'cmp -s long.png "$tmp/want.png" && [ "$(stat -c %i long.png)" = "$inode" ]'
done
# With standard input closed, what the tools open takes its descriptor 0.
"$bin/fbshot" -b "$tmp/mips.fb" no-stdin.png <&- 2>/dev/null
got=$?
"$bin/fbshot" -b "$tmp/mips.fb" /dev/stdout <&- 2>/dev/null | cat >no-stdin-stdout.png
piped=${PIPESTATUS[0]}
check "with standard input closed, a file and a stream are written" \
    eval '[ $got -eq 0 ] && [ $piped -eq 0 ] && cmp -s no-stdin.png "$tmp/want.png" && cmp -s no-stdin-stdout.png "$tmp/want.png"'
"$bin/picenc" "$tmp/ours.png" /dev/stdout 2>/dev/null | grep -c '^constexpr std::uint32_t pic' >picenc.count
check "picenc writes /dev/stdout through" eval '[ -L /dev/stdout ] && [ "$(cat picenc.count)" = 1 ]'
check "and no temporary file is left" test -z "$(ls -A | grep '^\.')"
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
    # a copy the user can reach, wherever the build is
    cp "$bin/fbshot" "$tmp/fbshot" && chmod 755 "$tmp" "$tmp/out" "$tmp/fbshot"
    mkdir shut && head -c 100000 "$tmp/noise.fb" >shut/screen.png && chown 65534 shut/screen.png && chmod 755 shut
    nobody "$tmp/fbshot" -b "$tmp/mips.fb" shut/screen.png 2>"$tmp/err"
    check "a file one may write in a folder one may not is written in place: $(cat "$tmp/err")" \
        eval 'cmp -s shut/screen.png "$tmp/want.png" && [ -z "$(ls -A shut | grep -v "^screen.png$")" ]'
    nobody "$tmp/fbshot" -b "$tmp/noise.fb" shut/screen.png 2>/dev/null
    check "and a picture of many blocks ($(stat -c %s "$tmp/noise.png") bytes) whole" cmp -s shut/screen.png "$tmp/noise.png"
    # And a file one byte past 64 KiB, whose last block is that byte: picenc's
    # source of K white dots, its name padded to make the size (picenc names
    # its output in it).
    dots() { perl -e 'my ($k) = @ARGV; my @p = ("\0\0\0") x (720 * 576);
        $p[int($_ / 360) * 1440 + $_ % 360 * 2] = "\xff\xff\xff" for 0 .. $k - 1;
        print "P6 720 576 255\n", @p' "$1" | convert ppm:- PNG24:"$tmp/dots.png"; }
    size() { dots "$1" && "$bin/picenc" "$tmp/dots.png" "$2" >/dev/null && stat -c %s "$2"; }
    s0=$(size 0 shut/t.cpp) s1=$(size 1000 shut/t.cpp)
    k=$(((65537 - s0) * 1000 / (s1 - s0)))
    while s=$(size $k shut/t.cpp) && [ "$s" -gt 65537 ]; do k=$((k - 1)); done
    name=shut/t$(printf '%*s' $((65537 - s)) '' | tr ' ' x).cpp
    size $k "$name" >/dev/null && mv "$name" "$tmp/dots.cpp" && cp "$tmp/before/screen.png" "$name" && chown 65534 "$name"
    cp "$bin/picenc" "$tmp/picenc" && nobody "$tmp/picenc" "$tmp/dots.png" "$name" >/dev/null 2>"$tmp/err"
    check "and one of $(stat -c %s "$tmp/dots.cpp") bytes whole: $(cat "$tmp/err")" cmp -s "$name" "$tmp/dots.cpp"
    rm -f shut/t*.cpp
    # One picture after another, with 8 open files at most.
    mkdir shut/made && chmod 755 shut/made && cp "$bin/mkpictures" "$tmp/mkpictures"
    made="noise gradient logo logo-alpha photo holes"
    for n in $made; do cp "$tmp/before/screen.png" shut/made/$n.png && chown 65534 shut/made/$n.png; done
    (exec 3>&- && ulimit -n 8 && nobody "$tmp/mkpictures" shut/made) >/dev/null 2>"$tmp/err"
    all_made() { for n in $made; do cmp -s "$tmp/made/$n.png" shut/made/$n.png || return 1; done; }
    check "mkpictures writes its pictures in place, with 8 open files at most: $(cat "$tmp/err")" all_made
    # A file of another owner, in the user's folder: the new one is the
    # user's, in the old one's group where the user is in it.
    mkdir mine && chown 65534 mine && cp "$tmp/before/screen.png" mine/screen.png && chown 0:100 mine/screen.png
    setpriv --reuid=65534 --regid=65534 --groups=100 "$tmp/fbshot" -b "$tmp/mips.fb" mine/screen.png 2>"$tmp/err"
    check "a file of another owner keeps its group ($(stat -c %u:%g mine/screen.png)): $(cat "$tmp/err")" \
        eval 'cmp -s mine/screen.png "$tmp/want.png" && [ "$(stat -c %u:%g mine/screen.png)" = 65534:100 ]'
    # Its setuid and setgid bits are kept, though a write by a user clears them.
    cp "$tmp/before/screen.png" mine/suid.png && chown 65534:65534 mine/suid.png && chmod 6750 mine/suid.png
    nobody "$tmp/fbshot" -b "$tmp/mips.fb" mine/suid.png 2>"$tmp/err"
    check "a file's setuid and setgid bits are kept ($(stat -c %a mine/suid.png))" test "$(stat -c %a mine/suid.png)" = 6750
    # A folder one may write but not read (-wx): the file is replaced, and
    # only the folder's sync is skipped.
    mkdir wx && cp "$tmp/before/screen.png" wx/screen.png && chown 65534 wx wx/screen.png && chmod 300 wx
    nobody "$tmp/fbshot" -b "$tmp/mips.fb" wx/screen.png 2>"$tmp/err"
    got=$?
    chmod 755 wx
    check "in a folder of mode -wx the file is replaced, status 0 ($got): $(cat "$tmp/err")" \
        eval '[ $got -eq 0 ] && cmp -s wx/screen.png "$tmp/want.png"'
    # In place on a full disk: refused before a byte of the old file is touched.
    mkdir full
    if mount -t tmpfs -o size=64k,mode=755 rxfull full 2>/dev/null; then
        head -c 20000 /dev/urandom >full/screen.png && chown 65534 full/screen.png && cp full/screen.png "$tmp/full.before"
        nobody "$tmp/fbshot" -b "$tmp/noise.fb" full/screen.png 2>"$tmp/err"
        got=$?
        cmp -s full/screen.png "$tmp/full.before"
        kept=$?
        umount full
        check "in place on a full disk: status 1, the old file as it was ($kept): $(cat "$tmp/err")" \
            eval '[ $got -eq 1 ] && [ $kept -eq 0 ] && grep -qx "fbshot: full/screen.png: No space left on device" "$tmp/err"'
    else
        echo "skipped: no small file system can be mounted here for a full disk"
    fi
    # The same with calls failing: faults (a word each) | status | what
    # fbshot says (- for nothing, and the file written) | old where the old
    # file must stay as it was
    closed=$(closing setpriv --reuid=65534 --regid=65534 --clear-groups "$tmp/fbshot" -b "$tmp/mips.fb" shut/screen.png)
    # the file's own open, the last
    opened=$(traced -o /dev/stdout -e trace=openat setpriv --reuid=65534 --regid=65534 --clear-groups \
        "$tmp/fbshot" -b "$tmp/mips.fb" shut/screen.png 2>/dev/null | grep -c 'openat(')
    while IFS='|' read -r fault status said after; do
        cp "$tmp/before/screen.png" shut/screen.png
        faulted "$fault" setpriv --reuid=65534 --regid=65534 --clear-groups \
            "$tmp/fbshot" -b "$tmp/mips.fb" shut/screen.png 2>"$tmp/err"
        got=$?
        check "in place with $fault: status $status, $(cat "$tmp/err")" eval '[ $got -eq $status ] &&
            if [ "$said" = - ]; then [ ! -s "$tmp/err" ] && cmp -s shut/screen.png "$tmp/want.png"; else grep -q -- "$said" "$tmp/err"; fi &&
            { [ "$after" != old ] || cmp -s shut/screen.png "$tmp/before/screen.png"; }'
    done <<TABLE
write:error=EINTR:when=2|0|-
write:error=ENOSPC:when=1|1|^fbshot: shut/screen.png: .*No space left on device
write:error=ENOSPC:when=2|1|^fbshot: shut/screen.png: .*No space left on device
fsync:error=EIO|1|^fbshot: shut/screen.png: .*Input/output error
lseek:error=EIO|1|^fbshot: shut/screen.png: .*Input/output error
openat:error=ETXTBSY:when=$opened|1|^fbshot: shut/screen.png: .*Text file busy
fsync:error=EIO close:error=EBADF:when=$closed|1|^fbshot: shut/screen.png: .*Input/output error
fallocate:error=ENOSPC|1|^fbshot: shut/screen.png: No space left on device$|old
close:error=EIO:when=$closed|1|^fbshot: shut/screen.png: Input/output error$
TABLE
    nobody bash -c '"$1" -b "$2" /dev/stdout 2>/dev/null | cat' sh "$tmp/fbshot" "$tmp/mips.fb" >nobody-stdout.png
    check "an ordinary user's /dev/stdout is written through" cmp -s nobody-stdout.png "$tmp/want.png"
fi
# held WHEN GLOB SIGNAL IGNORED COMMAND...: COMMAND held in its WHEN-th
# flush to the disk (strace delays it), with the signals IGNORED ignored as
# nohup leaves them, and sent SIGNAL once a temporary file GLOB is there; its
# status. SIGINT finds it as a terminal's Ctrl-C does, not ignored as a
# background job's.
held() {
    local when=$1 glob=$2 signal=$3 ignored=$4 tracer i
    shift 4
    perl -e '$SIG{INT} = "DEFAULT"; $SIG{$_} = "IGNORE" for split " ", shift; exec @ARGV' "$ignored" \
        env ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -f -o /dev/null -e inject=fsync:delay_enter=500000:when="$when" "$@" 2>/dev/null &
    tracer=$!
    for ((i = 0; i < 100; i++)); do
        compgen -G "$glob" >/dev/null && break
        sleep 0.05
    done
    pkill -"$signal" -P $tracer -x "$(basename "$1")"
    wait $tracer 2>/dev/null
}
for stop in TERM INT HUP; do
    held 1 '.stopped*' $stop '' "$bin/fbshot" -b "$tmp/mips.fb" stopped.png
    got=$?
    check "fbshot stopped by SIG$stop leaves no temporary file nor a file, and dies of it ($got)" \
        eval '[ -z "$(ls -A | grep stopped)" ] && [ $got -eq $((128 + $(kill -l $stop))) ]'
done
# mkpictures stopped in its third picture, whose name is shorter than the second's.
mkdir many
held 5 'many/.logo*' TERM '' "$bin/mkpictures" many
got=$?
check "mkpictures stopped in logo.png leaves no temporary file ($got): $(ls -A many | tr '\n' ' ')" \
    eval '[ -z "$(ls -A many | grep "^\.")" ] && [ ! -e many/logo.png ] && [ $got -eq 143 ]'
# Under nohup, SIGHUP stays ignored and the picture is written.
held 1 '.kept*' HUP HUP "$bin/fbshot" -b "$tmp/mips.fb" kept.png
check "fbshot under nohup goes on after SIGHUP" cmp -s kept.png "$tmp/want.png"
cd "$tmp" || exit 1

# mksample into a folder that simrx has not laid out: it makes the folders.
"$bin/mksample" "$tmp/new root" >/dev/null 2>"$tmp/err"
check "mksample makes the folders of a new root" \
    test -s "$tmp/new root/pvr/SERVICES/services.txt" -a -s "$tmp/new root/data/SI/versions2"
: >"$tmp/file"
"$bin/mksample" "$tmp/file" >/dev/null 2>"$tmp/err"
status=$?
check "and says which folder it cannot make (status $status): $(cat "$tmp/err")" \
    eval "[ $status -eq 1 ] && grep -q '^mksample: $tmp/file/pvr/SERVICES: ' '$tmp/err'"

# The command lines the tools refuse: arguments | status | what they say
while IFS='|' read -r args status said; do
    [ -n "$args" ] || continue
    # shellcheck disable=SC2086 # the arguments are words
    "$bin/"$args >/dev/null 2>"$tmp/err"
    got=$?
    check "$args: status $status, $(head -1 "$tmp/err")" eval '[ $got -eq $status ] && grep -q -- "$said" "$tmp/err"'
done <<TABLE
mkpictures|2|^usage: mkpictures FOLDER$
mkpictures $tmp/made $tmp/made|2|^usage: mkpictures
mkpictures $tmp/none|1|^mkpictures: .*$tmp/none/noise.png
drawsplash|2|^usage: drawsplash OUTPUT.png$
drawsplash $tmp/none/ours.png|1|^drawsplash: .*$tmp/none/ours.png
fbshot -b $tmp/mips.fb|2|^usage: fbshot
fbshot -b $tmp/mips.fb $tmp/shot.png $tmp/more.png|2|^usage: fbshot
fbshot -x $tmp/mips.fb $tmp/shot.png|2|^usage: fbshot
fbshot -b -s|2|^usage: fbshot
fbshot|2|top byte 0xFF, and said$
fbshot -b $tmp/none.fb $tmp/shot.png|1|^fbshot: $tmp/none.fb: No such file or directory$
fbshot -b $tmp/mips.fb $tmp/none/shot.png|1|^fbshot: .*$tmp/none/shot.png
paintpic|2|^usage: paintpic PICTURE.words
paintpic -m $tmp/ours.words|2|^usage: paintpic
paintpic -x $tmp/ours.words $tmp/out.fb|2|^usage: paintpic
paintpic -m $tmp/none.words $tmp/out.fb|1|^paintpic: $tmp/none.words: No such file or directory$
paintpic -m $tmp/ours.words $tmp/none/out.fb|1|^paintpic: .*$tmp/none/out.fb
mksample|2|^usage: mksample ROOT$
picenc -x.png out.cpp|1|^picenc: -x.png: No such file or directory$
TABLE
finish
