# Shared by the test scripts: checks counted and named, the summary line, and
# the shell blocks of the README that the tests run as written.
#   suite=NAME; . tests/lib.sh      NAME heads the summary line
passed=0
failed=0

# check WHAT COMMAND...: runs the command; says ok or FAILED with WHAT, and
# returns the command's verdict. With RX_FIRST_FAILURE set (the mutation
# harness wants a verdict, not the list) the first failure ends the script.
check() {
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
        [ -z "${RX_FIRST_FAILURE:-}" ] || exit 1
        return 1
    fi
}

# checks_from FILE [PREFIX]: the "ok: …" and "FAILED: …" lines that a script
# run elsewhere (inside a receiver) printed to FILE, counted as checks here.
checks_from() {
    local verdict what
    while read -r verdict what; do
        case $verdict in
            ok:) check "${2:-}$what" true ;;
            *) check "${2:-}$what" false ;;
        esac
    done < <(grep -E '^(ok|FAILED): ' "$1")
}

# finish: the summary line; exits 0 when no check failed.
finish() {
    echo "${suite:-tests}: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

# readme_block NAME: the shell block that follows "<!-- recipe: NAME -->" in the README.
readme=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/README.md
readme_block() {
    awk -v want="<!-- recipe: $1 -->" '$0 == want { on = 1; next }
        on && /^```sh/ { inside = 1; next } inside && /^```/ { exit } inside { print }' "$readme"
}

# box_example: the boot script of the box's README (package/README.receiver.in),
# its indented lines after "From a boot script".
box_example() {
    awk '/^From a boot script/ { on = 1; next }
        on && /^    / { sub(/^    /, ""); print; started = 1; next } started { exit }' "$(dirname "$readme")/package/README.receiver.in"
}

# copy_tree DEST: the tree's files as they stand (the tracked ones and the
# new ones git does not ignore) into the folder DEST; no builds.
copy_tree() {
    (cd "$(dirname "$readme")" && git ls-files -z --cached --others --exclude-standard |
        tar --null -T - --ignore-failed-read -cf -) | tar -C "$1" -xf -
}
