# Helpers for end-to-end runs of a real program in the simulated receiver.
# Sourced with the program's path and a fresh folder for the receiver's root.
set -u
prog=$1
root=$2
simrx=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools/sim" && pwd)/simrx
fb=$root/dev/fb0
suite=e2e
. "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

"$simrx" -c || { echo "skipped: the simulated receiver cannot run here"; exit 77; }
rm -rf "$root"
mkdir -p "$root"

# Pixel words in the frame-buffer file are in the program's own byte order.
case $(od -An -tx1 -j5 -N1 "$prog" | tr -d ' ') in
    02) endian=big ;;
    *) endian=little ;;
esac

sim() { "$simrx" -r "$root" "$@"; }

# errtext NAME: the text of that error in the C library the program is linked
# with (glibc and musl word some errors differently).
errtext() { "$simrx" -n -r "$root" "$(dirname "$prog")/../tests/errtext" "$1"; }

# word INDEX [FILE]: the pixel word at that index, as eight hex digits.
word() { od -An -tx4 --endian="$endian" -j $(($1 * 4)) -N4 "${2:-$fb}" | tr -d ' '; }

# pixel X FIELD_LINE FIELD [FILE]
pixel() { word $(($3 * 207360 + $2 * 720 + $1)) "${4:-}"; }
