# The committed boot picture is exactly what picenc makes of splash/splash.png
# with the options the picture was made with, which the generated source
# records in its head; on a difference, says the command that regenerates it.
#   tests/picture/in_sync.sh PICENC      (run from the source tree's top)
set -u
picenc=$(realpath "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
command=$(sed -n 's|^//   \(build/native/tools/picenc .*splash/splash.png splash/pic_data.cpp\)$|\1|p' splash/pic_data.cpp)
[ -n "$command" ] || { echo "FAILED: splash/pic_data.cpp does not say how it was made; regenerate it with: build/native/tools/picenc splash/splash.png splash/pic_data.cpp"; exit 1; }
options=${command#build/native/tools/picenc }
options=${options%splash/splash.png splash/pic_data.cpp}
options=${options% }
# The recorded command, run in a scratch folder with the same paths (the
# source's head names them).
mkdir -p "$tmp/splash" && cp splash/splash.png "$tmp/splash/"
# shellcheck disable=SC2086 # the recorded options are words
if (cd "$tmp" && "$picenc" $options splash/splash.png splash/pic_data.cpp) >"$tmp/said" 2>&1 &&
    cmp -s splash/pic_data.cpp "$tmp/splash/pic_data.cpp"; then
    echo "ok: splash/pic_data.cpp is what picenc makes of splash/splash.png${options:+ with $options}"
else
    cat "$tmp/said"
    echo "FAILED: splash/pic_data.cpp is not what picenc makes of splash/splash.png; regenerate it with: $command"
    exit 1
fi
