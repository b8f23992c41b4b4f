# The receiver programs need nothing at run time but the C library.
set -u
status=0
for prog in "$@"; do
    needed=$(readelf -d "$prog" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    for lib in $needed; do
        case $lib in
            libc.so.*) ;;
            *) echo "FAILED: $(basename "$prog") needs $lib"; status=1 ;;
        esac
    done
    if [ $status -eq 0 ]; then echo "ok: $(basename "$prog") needs ${needed:-nothing (static)}"; fi
done
exit $status
