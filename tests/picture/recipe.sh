# The README's recipe for a boot picture of one's own, run as written on a
# photo of another size: ImageMagick makes it a 720x576 PNG, picenc the
# picture's source (the build step is left out here).
#   tests/picture/recipe.sh PICENC MKPICTURES
set -u
picenc=$1 mkpictures=$2
. "$(dirname "$0")/../lib.sh"
convert -version 2>/dev/null | grep -q ImageMagick || { echo "skipped: ImageMagick is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
text=$(readme_block boot-picture)
[ -n "$text" ] || { echo "FAILED: no boot-picture recipe in the README"; exit 1; }
mkdir -p "$tmp/splash" "$tmp/build/native/tools"
ln -s "$(cd "$(dirname "$picenc")" && pwd)/$(basename "$picenc")" "$tmp/build/native/tools/picenc"
"$mkpictures" "$tmp" && convert "$tmp/gradient.png" -resize '1024x600!' -quality 90 "$tmp/my-photo.jpg" || exit 1
(cd "$tmp" && cmake() { :; } && eval "$text") || { echo "FAILED: the recipe did not run"; exit 1; }
size=$(identify -format '%wx%h' "$tmp/splash/splash.png")
[ "$size" = 720x576 ] || { echo "FAILED: the recipe made a picture of $size"; exit 1; }
grep -q '^constexpr std::uint32_t pic\[\] = {' "$tmp/splash/pic_data.cpp" || { echo "FAILED: no picture source"; exit 1; }
echo "ok: the recipe turns a 1024x600 photo into the boot picture's source"
