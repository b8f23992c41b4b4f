# The receiver programs need nothing at run time but the C library.
set -u
status=0
for prog in "$@"; do
    needed=$(readelf -d "$prog" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    ok=1
    for lib in $needed; do
        case $lib in
            libc.so.*) ;;
            *) echo "FAILED: $(basename "$prog") needs $lib"; ok=0; status=1 ;;
        esac
    done
    [ $ok -eq 1 ] && echo "ok: $(basename "$prog") needs ${needed:-nothing (static)}"
done
exit $status
