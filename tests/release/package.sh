# The receiver package: a tarball of the three stripped MIPS programs of the
# release (static on musl, MIPS32 release 1) in bin/, the one-program build
# with its links in libexec/rxtools/, and the README for the box and musl's
# COPYRIGHT in share/doc/rxtools/; the install's manifest lists every file
# it makes, the links too.
set -eu
cd "$(dirname "$0")/../.."
cmake --preset receiver >/dev/null
cmake --build --preset receiver --target runbar splash verdump rxtools >/dev/null
rm -rf build/receiver/package
(cd build/receiver && cpack >/dev/null)
tarball=$(ls build/receiver/package/rxtools-*-mips.tar.gz)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tar xzf "$tarball" -C "$tmp"
top=$(ls "$tmp")
status=0
doc=$tmp/$top/share/doc/rxtools
[ -s "$doc/README" ] || { echo "FAILED: no share/doc/rxtools/README in $tarball"; status=1; }
grep -q "musl" "$doc/COPYRIGHT.musl" 2>/dev/null || { echo "FAILED: no musl COPYRIGHT in $tarball"; status=1; }
# Beside them the one-program build: rxtools and a link to it for each name.
multi=$tmp/$top/libexec/rxtools
for prog in runbar splash verdump; do
    [ "$(readlink "$multi/$prog")" = rxtools ] || { echo "FAILED: libexec/rxtools/$prog is no link to rxtools"; status=1; }
done
[ "$(cd "$tmp/$top" && find . -type f -o -type l | sort | tr '\n' ' ')" = "./bin/runbar ./bin/splash ./bin/verdump \
./libexec/rxtools/runbar ./libexec/rxtools/rxtools ./libexec/rxtools/splash ./libexec/rxtools/verdump \
./share/doc/rxtools/COPYRIGHT.musl ./share/doc/rxtools/README " ] || { echo "FAILED: the package holds: $(cd "$tmp/$top" && find . -type f -o -type l | sort | tr '\n' ' ')"; status=1; }
for prog in runbar splash verdump rxtools; do
    f=$tmp/$top/bin/$prog
    [ $prog = rxtools ] && f=$multi/rxtools
    if [ ! -x "$f" ]; then echo "FAILED: $prog missing"; status=1; continue; fi
    machine=$(readelf -h "$f" | sed -n 's/ *Machine: *//p')
    data=$(readelf -h "$f" | sed -n 's/ *Data: *//p')
    [ "$machine" = "MIPS R3000" ] && [[ $data == *"big endian"* ]] || { echo "FAILED: $prog is $machine, $data"; status=1; }
    isa=$(readelf -A "$f" | sed -n 's/^ISA: *//p')
    [ "$isa" = MIPS32 ] || { echo "FAILED: $prog is built for $isa, not MIPS32 release 1"; status=1; }
    readelf -d "$f" | grep -q NEEDED && { echo "FAILED: $prog is linked dynamically"; status=1; }
    readelf -l "$f" | grep -q INTERP && { echo "FAILED: $prog needs a program interpreter"; status=1; }
    readelf -S "$f" | grep -q '\.symtab' && { echo "FAILED: $prog is not stripped"; status=1; }
done
# The box README's lines that make the links hold when run twice.
lines=$(grep -E '^    cd /var/bin && ln ' "$doc/README" | sed "s|/var/bin|$tmp/box|")
mkdir "$tmp/box"
[ -n "$lines" ] && (eval "$lines") && (eval "$lines") && [ "$(readlink "$tmp/box/verdump")" = rxtools ] ||
    { echo "FAILED: the box README's links cannot be made twice: $lines"; status=1; }
# Every file the install makes is in its manifest, the links too, so that a
# packager's uninstall removes them all.
DESTDIR=$tmp/inst cmake --install build/receiver >/dev/null
made=$(cd "$tmp/inst" && find . -type f -o -type l | sed 's|^\.||' | sort)
listed=$(sort build/receiver/install_manifest.txt)
[ "$made" = "$listed" ] || { echo "FAILED: install_manifest.txt lists $(echo $listed), the install made $(echo $made)"; status=1; }
[ $status -eq 0 ] && echo "package: $tarball holds share/doc/rxtools/{README,COPYRIGHT.musl}, bin/runbar, bin/splash, bin/verdump and libexec/rxtools/rxtools with its three links (static on musl, MIPS32 release 1, stripped)"
exit $status
