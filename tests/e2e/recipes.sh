# Every recipe in the README's "Recipes" section, run as written in the
# simulated receiver: each must end with status 0, deliver exactly 1000 dots
# to the bar, and do its own work (checked per recipe below).
. "$(dirname "$0")/lib.sh"

sim "$prog" true >/dev/null 2>&1 # lays out the root and puts runbar in /opt/bin
head -c 307200 /dev/urandom >"$root/tmp/update.img"

for name in dots-loop copy-job kept-output; do
    text=$(readme_block $name)
    check "recipe $name is in the README" test -n "$text"
    printf '%s\n' "$text" >"$root/tmp/recipe.sh"
    rm -f "$root/tmp/update.log" "$root/tmp/flash.img"
    sim /bin/sh /tmp/recipe.sh >"$root/out" 2>"$root/err"
    check "recipe $name runs and exits 0" test $? -eq 0 -a ! -s "$root/err"
    case $name in
        copy-job) check "recipe $name copies the image" cmp -s "$root/tmp/update.img" "$root/tmp/flash.img" ;;
        kept-output) check "recipe $name keeps the job's output" test "$(grep -c unpacking "$root/tmp/update.log")" -eq 10 ;;
    esac
    # The same command string again, with its dots counted instead of shown.
    { echo 'runbar() { sh -c "$1" | tr -cd . | wc -c >/tmp/dots; }'; printf '%s\n' "$text"; } >"$root/tmp/count.sh"
    sim /bin/sh /tmp/count.sh >/dev/null 2>&1
    check "recipe $name prints 1000 dots" test "$(tr -d ' ' <"$root/tmp/dots")" -eq 1000
done

finish
