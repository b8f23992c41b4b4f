# Every recipe in the README's "Recipes" section and the box README's boot
# script, run as written in the
# simulated receiver (tests/e2e/recipes_inside.sh): each must end with status
# 0, deliver exactly 1000 dots to the bar, and do its own work.
. "$(dirname "$0")/lib.sh"
recipes="dots-loop copy-job kept-output job-status"

sim "$prog" true >/dev/null 2>&1 # lays out the root and puts runbar in /opt/bin
sim "$(dirname "$prog")/../splash/splash" >/dev/null 2>&1 # and splash
mkdir -p "$root/tmp/recipes"
for name in $recipes; do
    readme_block $name >"$root/tmp/recipes/$name.sh"
    check "recipe $name is in the README" test -s "$root/tmp/recipes/$name.sh"
done
box_example >"$root/tmp/recipes/box-example.sh"
check "the box README's example is there" test -s "$root/tmp/recipes/box-example.sh"
cp "$(dirname "$0")/recipes_inside.sh" "$root/tmp/"
sim /bin/sh /tmp/recipes_inside.sh /tmp/recipes >"$root/said" 2>&1
checks_from "$root/said"
check "the recipes print nothing else" test -z "$(grep -v -E '^(ok|FAILED): ' "$root/said")"
check "every recipe was run" test "$(grep -c 'prints' "$root/said")" -eq 5
finish
