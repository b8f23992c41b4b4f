#!/usr/bin/env bash
# Builds what the project takes from Debian's source packages, once, into a
# cache outside the tree ($RX_CACHE, default ~/.cache/rxtools), keyed by the
# package's version; a later call with the same version only prints the path.
#   sources.sh musl    musl's C library for the receiver (32-bit big-endian MIPS)
#   sources.sh dash    a static /bin/sh for the emulated receiver
#   sources.sh kernel  the emulated receiver's kernel (Debian's linux-source-6.1
#                      and tools/vm/kernel.config), with usr/gen_init_cpio
# Prints the installed folder on standard output; progress goes to standard error.
set -eu
cache=${RX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rxtools}
jobs=$(nproc)

say() { echo "sources: $*" >&2; }
fail() { say "$*"; exit 1; }

# apt-get source needs deb-src entries: mirror the machine's own Debian
# entries (same URIs, suites, components and keyring) as deb-src.
ensure_deb_src() {
    apt-cache showsrc "$1" 2>/dev/null | grep -q '^Version:' && return 0
    [ "$(id -u)" -eq 0 ] || fail "no deb-src entry for $1; as root, tools/deps.sh adds one"
    local list=/etc/apt/sources.list.d/debian.sources out=/etc/apt/sources.list.d/rxtools-deb-src
    if [ -f "$list" ]; then
        sed -e 's/^Types:.*/Types: deb-src/' -e '/^#/d' "$list" >"$out.sources"
    elif [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list >"$out.list"
    else
        fail "no Debian entry in /etc/apt to mirror as deb-src"
    fi
    say "added deb-src entries; updating the package lists"
    apt-get update -q >&2 || fail "apt-get update failed"
    apt-cache showsrc "$1" 2>/dev/null | grep -q '^Version:' || fail "Debian's archive has no source package $1"
}

# fetch NAME DIR: unpacks the source package into DIR/src, prints its folder.
fetch() {
    rm -rf "$2/src"
    mkdir -p "$2/src"
    (cd "$2/src" && apt-get source -q "$1" >"$2/fetch.log" 2>&1) ||
        { tail -5 "$2/fetch.log" >&2; fail "apt-get source $1 failed (log: $2/fetch.log)"; }
    find "$2/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -1
}

build_musl() {
    local dir=$1 src
    src=$(fetch musl "$dir")
    say "building musl for mips-linux-gnu in $dir (about a minute)"
    (cd "$src" &&
        ./configure --target=mips-linux-gnu CROSS_COMPILE=mips-linux-gnu- --disable-shared --prefix="$dir/prefix" &&
        make -j"$jobs" && make install) >"$dir/build.log" 2>&1 ||
        { tail -20 "$dir/build.log" >&2; fail "musl did not build (log: $dir/build.log)"; }
    cp "$src/COPYRIGHT" "$dir/prefix/COPYRIGHT"
}

build_dash() {
    local dir=$1 src
    src=$(fetch dash "$dir")
    say "building a static dash for mips-linux-gnu in $dir"
    (cd "$src" && autoreconf -fi &&
        ./configure --host=mips-linux-gnu --enable-static CC=mips-linux-gnu-gcc CFLAGS=-Os LDFLAGS=-static &&
        make -j"$jobs" && mkdir -p "$dir/prefix/bin" && mips-linux-gnu-strip -o "$dir/prefix/bin/sh" src/dash) \
        >"$dir/build.log" 2>&1 ||
        { tail -20 "$dir/build.log" >&2; fail "dash did not build (log: $dir/build.log)"; }
}

# The kernel comes from Debian's linux-source package: Malta's defconfig
# without its modules, merged with our fragment.
build_kernel() {
    local dir=$1 tarball=/usr/src/linux-source-6.1.tar.xz src
    [ -f "$tarball" ] || fail "$tarball is missing (package linux-source-6.1)"
    rm -rf "$dir/src" && mkdir -p "$dir/src"
    say "building the emulated receiver's kernel in $dir (about 7 minutes on 2 cores)"
    tar xJf "$tarball" -C "$dir/src" || fail "cannot unpack $tarball"
    src=$dir/src/linux-source-6.1
    local make=(make -C "$src" ARCH=mips CROSS_COMPILE=mips-linux-gnu- -j"$jobs")
    grep -v '=m$' "$src/arch/mips/configs/malta_defconfig" >"$src/arch/mips/configs/rxvm_defconfig"
    (cd "$src" && "${make[@]}" rxvm_defconfig &&
        scripts/kconfig/merge_config.sh -m .config "$kernel_config" && "${make[@]}" olddefconfig &&
        "${make[@]}" vmlinux && gcc -O2 -o usr/gen_init_cpio usr/gen_init_cpio.c) >"$dir/build.log" 2>&1 ||
        { tail -20 "$dir/build.log" >&2; fail "the kernel did not build (log: $dir/build.log)"; }
    # Every line of the fragment must have taken effect.
    local missed
    missed=$(grep -E '^(CONFIG_|# CONFIG_)' "$kernel_config" | while read -r line; do
        case $line in
            "# "*) sym=${line#\# } && ! grep -q "^${sym%% *}=" "$src/.config" ;;
            *) grep -qxF "$line" "$src/.config" ;;
        esac || echo "$line"
    done)
    [ -z "$missed" ] || fail "the kernel's configuration did not take: $missed"
    mkdir -p "$dir/prefix"
    cp "$src/vmlinux" "$src/usr/gen_init_cpio" "$src/.config" "$dir/prefix/"
}

name=${1:-}
case $name in
    musl | dash) ;;
    kernel) ;;
    *) echo "usage: sources.sh musl|dash|kernel" >&2; exit 2 ;;
esac
if [ "$name" = kernel ]; then
    kernel_config=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/vm/kernel.config
    version=$(dpkg-query -W -f='${Version}' linux-source-6.1 2>/dev/null) || fail "package linux-source-6.1 is missing"
    version=$version-$(sha256sum "$kernel_config" | cut -c1-12)
else
    ensure_deb_src "$name"
    version=$(apt-cache showsrc "$name" | sed -n 's/^Version: //p' | sort -V | tail -1)
fi
dir=$cache/$name-$version
if [ ! -f "$dir/done" ]; then
    command -v mips-linux-gnu-gcc >/dev/null || fail "mips-linux-gnu-gcc is missing (package gcc-mips-linux-gnu)"
    mkdir -p "$dir"
    "build_$name" "$dir"
    rm -rf "$dir/src"
    touch "$dir/done"
fi
echo "$dir/prefix"
