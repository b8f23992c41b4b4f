#!/usr/bin/env bash
# Builds what the project takes from Debian's source packages, once, into a
# cache outside the tree ($RX_CACHE, default ~/.cache/rxtools), keyed by the
# package's version and what the build is given (flags, configuration); a
# later call with the same key only prints the path.
#   sources.sh musl     musl's C library for the receiver (32-bit big-endian
#                       MIPS, release 1 and later)
#   sources.sh builtins libgcc's routines that Debian builds for release 2,
#                       for release 1, from LLVM's compiler-rt
#   sources.sh busybox  the emulated receiver's shell and command-line tools,
#                       static on that musl (tools/vm/busybox.config)
#   sources.sh qemu-plugin  QEMU's plugin header, for the painter's cost meter
#   sources.sh kernel   the emulated receiver's kernel (Debian's linux-source-6.1
#                       and tools/vm/kernel.config), with usr/gen_init_cpio
# Prints the installed folder on standard output; progress goes to standard error.
set -eu
cache=${RX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rxtools}
jobs=$(nproc)
vm=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/vm
# The receiver's processors: MIPS32 release 1 and later (set-top cores are
# often release 1 without an FPU; Linux emulates the FPU there), hard-float
# o32 like Debian's libgcc. No -O here: musl then picks its own (-Os, and -O3
# for memcpy and the other string functions).
musl_cflags="-march=mips32"
# Debian's libgcc is built for release 2: some of its routines use newer
# instructions (byte swaps, double to 64-bit integer, complex products and
# quotients; tests/release/isa.sh finds them in libgcc.a), and every one of
# them marks a program release 2 in its ABI flags. LLVM's compiler-rt has
# each routine in a file of its own: these, the 64-bit arithmetic and
# conversions among them, are built for release 1 from there.
builtins="bswapsi2 bswapdi2 muldc3 mulsc3 divdc3 divsc3
    ashldi3 ashrdi3 lshrdi3 muldi3 divdi3 moddi3 udivdi3 umoddi3 udivmoddi4
    fixdfdi fixunsdfdi fixsfdi fixunssfdi floatdidf floatundidf floatdisf floatundisf"

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
    say "building musl for mips-linux-gnu ($musl_cflags) in $dir (about a minute)"
    (cd "$src" &&
        ./configure --target=mips-linux-gnu CROSS_COMPILE=mips-linux-gnu- CFLAGS="$musl_cflags" \
            --disable-shared --prefix="$dir/prefix" &&
        make -j"$jobs" && make install) >"$dir/build.log" 2>&1 ||
        { tail -20 "$dir/build.log" >&2; fail "musl did not build (log: $dir/build.log)"; }
    cp "$src/COPYRIGHT" "$dir/prefix/COPYRIGHT"
}

# compiler-rt's builtins from LLVM's source package (only that folder is
# unpacked), for release 1: linked before libgcc, they take its place.
build_builtins() {
    local dir=$1 src f
    mkdir -p "$dir/src" "$dir/prefix/lib"
    (cd "$dir/src" && apt-get source --download-only -q llvm-toolchain-14 >"$dir/fetch.log" 2>&1) ||
        { tail -5 "$dir/fetch.log" >&2; fail "apt-get source llvm-toolchain-14 failed (log: $dir/fetch.log)"; }
    say "building compiler-rt's $(echo $builtins) for mips-linux-gnu ($musl_cflags) in $dir"
    tar xJf "$dir"/src/llvm-toolchain-14_*.orig.tar.xz -C "$dir/src" --wildcards \
        '*/compiler-rt/lib/builtins/*' '*/compiler-rt/LICENSE.TXT' || fail "cannot unpack compiler-rt"
    src=$(echo "$dir"/src/*/compiler-rt)
    for f in $builtins; do
        mips-linux-gnu-gcc $musl_cflags -O2 -c "$src/lib/builtins/$f.c" -o "$dir/src/$f.o" 2>>"$dir/build.log" ||
            { tail -20 "$dir/build.log" >&2; fail "compiler-rt's $f did not build (log: $dir/build.log)"; }
    done
    (cd "$dir/src" && mips-linux-gnu-ar rcs "$dir/prefix/lib/libbuiltins.a" $(printf '%s.o ' $builtins))
    cp "$src/LICENSE.TXT" "$dir/prefix/LICENSE.compiler-rt"
}

# QEMU's plugin header, for the painter's cost meter (bench/meter.cpp), from
# the source package of the QEMU that runs it.
build_qemu-plugin() {
    local dir=$1
    mkdir -p "$dir/src" "$dir/prefix/include"
    # The archive may have moved on to a newer update of the same QEMU,
    # whose plugin interface is the same.
    (cd "$dir/src" && { apt-get source --download-only -q "qemu=$qemu_version" || apt-get source --download-only -q qemu; } \
        >"$dir/fetch.log" 2>&1) ||
        { tail -5 "$dir/fetch.log" >&2; fail "apt-get source qemu failed (log: $dir/fetch.log)"; }
    tar xJf "$dir"/src/qemu_*.orig.tar.xz -C "$dir/src" --wildcards '*/include/qemu/qemu-plugin.h' ||
        fail "cannot unpack QEMU's plugin header"
    cp "$dir"/src/*/include/qemu/qemu-plugin.h "$dir/prefix/include/"
}

# BusyBox on our musl, as the receivers' own userland is: from nothing but
# the applets in the fragment. musl has no kernel headers; the cross
# compiler's are reachable after musl's.
build_busybox() {
    local dir=$1 src musl khdr rt
    musl=$(bash "${BASH_SOURCE[0]}" musl)
    rt=$(bash "${BASH_SOURCE[0]}" builtins)
    src=$(fetch busybox "$dir")
    khdr=$dir/kernel-headers
    mkdir -p "$khdr"
    for d in asm asm-generic linux mtd; do ln -sfn "/usr/mips-linux-gnu/include/$d" "$khdr/$d"; done
    say "building BusyBox for mips-linux-gnu on musl in $dir (about a minute)"
    local make=(make -C "$src" CROSS_COMPILE=mips-linux-gnu- CC="$musl/bin/musl-gcc $musl_cflags -isystem $khdr"
        -j"$jobs")
    (cd "$src" && "${make[@]}" allnoconfig &&
        grep -E '^CONFIG_' "$busybox_config" | while IFS='=' read -r sym value; do
            sed -i -e "/^# $sym is not set\$/d" -e "/^$sym=/d" .config && echo "$sym=$value" >>.config
        done && sed -i '/^CONFIG_EXTRA_LDFLAGS=/d' .config &&
        echo "CONFIG_EXTRA_LDFLAGS=\"-Wl,--whole-archive $rt/lib/libbuiltins.a -Wl,--no-whole-archive\"" >>.config &&
        yes '' | "${make[@]}" oldconfig && "${make[@]}" && "${make[@]}" CONFIG_PREFIX="$dir/prefix" install) \
        >"$dir/build.log" 2>&1 || { tail -20 "$dir/build.log" >&2; fail "BusyBox did not build (log: $dir/build.log)"; }
    config_took "$busybox_config" "$src/.config" || fail "BusyBox's configuration did not take: $missed"
    cp "$src/.config" "$dir/prefix/busybox.config"
    cp "$src/busybox_unstripped" "$dir/prefix/busybox.unstripped" # with its functions' names, for the scan
}

# config_took FRAGMENT CONFIG: every line of the fragment took effect; the
# lines that did not are left in $missed.
config_took() {
    missed=$(grep -E '^(CONFIG_|# CONFIG_)' "$1" | while read -r line; do
        case $line in
            "# "*) sym=${line#\# } && ! grep -q "^${sym%% *}=" "$2" ;;
            *) grep -qxF "$line" "$2" ;;
        esac || echo "$line"
    done)
    [ -z "$missed" ]
}

# The kernel comes from Debian's linux-source package: Malta's defconfig
# without its modules, merged with our fragment.
build_kernel() {
    local dir=$1 tarball=/usr/src/linux-source-6.1.tar.xz src
    [ -f "$tarball" ] || fail "$tarball is missing (package linux-source-6.1)"
    rm -rf "$dir/src" && mkdir -p "$dir/src"
    say "building the emulated receiver's kernel in $dir (about 3 minutes on 2 cores)"
    tar xJf "$tarball" -C "$dir/src" || fail "cannot unpack $tarball"
    src=$dir/src/linux-source-6.1
    local make=(make -C "$src" ARCH=mips CROSS_COMPILE=mips-linux-gnu- -j"$jobs")
    grep -v '=m$' "$src/arch/mips/configs/malta_defconfig" >"$src/arch/mips/configs/rxvm_defconfig"
    (cd "$src" && "${make[@]}" rxvm_defconfig &&
        scripts/kconfig/merge_config.sh -m .config "$kernel_config" && "${make[@]}" olddefconfig &&
        "${make[@]}" vmlinux && gcc -O2 -o usr/gen_init_cpio usr/gen_init_cpio.c) >"$dir/build.log" 2>&1 ||
        { tail -20 "$dir/build.log" >&2; fail "the kernel did not build (log: $dir/build.log)"; }
    config_took "$kernel_config" "$src/.config" || fail "the kernel's configuration did not take: $missed"
    mkdir -p "$dir/prefix"
    cp "$src/vmlinux" "$src/usr/gen_init_cpio" "$src/.config" "$dir/prefix/"
}

# The cache key: the package's version, and a digest of what the build is given.
digest() { sha256sum | cut -c1-12; }
name=${1:-}
kernel_config=$vm/kernel.config
busybox_config=$vm/busybox.config
case $name in
    musl | busybox) package=$name ;;
    builtins) package=llvm-toolchain-14 ;;
    kernel) package=linux-source-6.1 ;;
    qemu-plugin) package=qemu ;;
    *) echo "usage: sources.sh musl|builtins|busybox|kernel|qemu-plugin" >&2; exit 2 ;;
esac
if [ "$name" = kernel ]; then
    version=$(dpkg-query -W -f='${Version}' $package 2>/dev/null) || fail "package $package is missing"
    version=$version-$(digest <"$kernel_config")
elif [ "$name" = qemu-plugin ]; then
    ensure_deb_src $package
    qemu_version=$(dpkg-query -W -f='${source:Version}' qemu-user 2>/dev/null) || fail "package qemu-user is missing"
    version=${qemu_version#*:}
else
    ensure_deb_src $package
    version=$(apt-cache showsrc $package | sed -n 's/^Version: //p' | sort -V | tail -1)
    version=${version#*:}
    case $name in
        musl) version=$version-$(printf '%s' "$musl_cflags" | digest) ;;
        builtins) version=$version-$(printf '%s %s' "$musl_cflags" "$builtins" | digest) ;;
        busybox) version=$version-$( (cat "$busybox_config"; for b in musl builtins; do
            basename "$(dirname "$(bash "${BASH_SOURCE[0]}" $b)")"; done) | digest) ;;
    esac
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
