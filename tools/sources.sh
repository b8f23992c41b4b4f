#!/usr/bin/env bash
# Builds what the project takes from Debian's source packages, once, into a
# cache outside the tree ($RX_CACHE, default ~/.cache/rxtools), keyed by the
# package's exact version, the cross compiler, the build's own recipe (its
# function's text below) and what it is given (flags, configuration); a later
# call with the same key only prints the path.
#   sources.sh musl      musl's C library for the receiver (32-bit big-endian
#                        MIPS, release 1 and later, soft-float)
#   sources.sh builtins  the compiler's run-time routines (64-bit arithmetic,
#                        floating point in software, byte swaps), for release 1
#                        and soft-float, from LLVM's compiler-rt
#   sources.sh busybox   the emulated receiver's shell and command-line tools,
#                        static on that musl (tools/vm/busybox.config)
#   sources.sh qemu-plugin  QEMU's plugin header, for the cost meters
#   sources.sh kernel    the emulated receiver's kernel (Debian's linux-source-6.1
#                        and tools/vm/kernel.config), with usr/gen_init_cpio
#   sources.sh kernel-nofp  the same kernel built without floating-point
#                        support (tools/vm/kernel-nofp.config), as small boxes have
# RX_FLOAT=hard builds musl and the builtins hard-float instead, as the
# release was before (bench/fpu_cost.sh measures what that cost the box).
# Each entry is built in a temporary folder beside it and moved into place
# whole, under a lock of its own, so that runs at once (two terminals, two CI
# jobs on one cache) wait for each other instead of building into one folder.
# Prints the installed folder on standard output; progress goes to standard error.
set -eu
cache=${RX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rxtools}
jobs=$(nproc)
vm=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/vm
cross=mips-linux-gnu
# The receiver's processors: MIPS32 release 1 and later, most of them without
# an FPU, under kernels that may have no FPU emulator at all: soft-float o32,
# so that no floating-point instruction is ever executed. No -O here: musl
# then picks its own (-Os, and -O3 for memcpy and the other string functions).
case ${RX_FLOAT:-soft} in
    soft) musl_cflags="-march=mips32 -msoft-float" ;;
    hard) musl_cflags="-march=mips32" ;;
    *) echo "sources: RX_FLOAT is soft or hard, not '$RX_FLOAT'" >&2; exit 2 ;;
esac
# The routines gcc calls for what the processor cannot do: 64-bit integer
# arithmetic, byte swaps (release 1 has no wsbh), complex products, and the
# whole of floating point in software. Debian's libgcc is hard-float and built
# for release 2 (tests/release/isa.sh finds newer instructions in it), so
# none of it is linked: these come from LLVM's compiler-rt, a file a routine.
builtins="bswapsi2 bswapdi2 muldc3 mulsc3 divdc3 divsc3 popcountsi2 popcountdi2 paritysi2 ffssi2 ffsdi2
    ashldi3 ashrdi3 lshrdi3 muldi3 divdi3 moddi3 udivdi3 umoddi3 udivmoddi4 divmoddi4 cmpdi2 ucmpdi2
    adddf3 addsf3 subdf3 subsf3 muldf3 mulsf3 divdf3 divsf3 negdf2 negsf2 comparedf2 comparesf2
    extendsfdf2 truncdfsf2 fixdfsi fixsfsi fixunsdfsi fixunssfsi floatsidf floatsisf floatunsidf floatunsisf
    fixdfdi fixunsdfdi fixsfdi fixunssfdi floatdidf floatundidf floatdisf floatundisf powidf2 powisf2 fp_mode"

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

# The newest version of a source package the archive offers; the fetch takes exactly it.
source_version() { apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -V | tail -1; }

# fetch NAME VERSION [--download-only]: the source package of exactly that
# version into $work/src; prints the unpacked folder.
fetch() {
    mkdir -p "$work/src"
    (cd "$work/src" && apt-get source -q ${3:-} "$1=$2" >"$work/fetch.log" 2>&1) ||
        { tail -5 "$work/fetch.log" >&2; fail "apt-get source $1=$2 failed"; }
    [ -n "${3:-}" ] || find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -1
}

# Each build_NAME makes $work/prefix from the sources, logging to $work/build.log;
# $dir is where the entry will be once it is whole.
build_musl() {
    local src
    src=$(fetch musl "$version")
    say "building musl for $cross ($musl_cflags) (about a minute)"
    # The prefix is the final one (musl-gcc's driver files name it); the files are
    # staged in the temporary folder.
    (cd "$src" &&
        ./configure --target=$cross CROSS_COMPILE=$cross- CFLAGS="$musl_cflags" --disable-shared --prefix="$dir/prefix" &&
        make -j"$jobs" && make install DESTDIR="$work/stage") >"$work/build.log" 2>&1 || return 1
    mv "$work/stage$dir/prefix" "$work/prefix"
    cp "$src/COPYRIGHT" "$work/prefix/COPYRIGHT"
    # musl-gcc links gcc's crtbegin, crtend and libgcc, which are hard-float:
    # ours takes none of them (musl needs no crtbegin; the builtins stand in
    # for libgcc), or a soft-float link mixes the two.
    sed -i -e 's/crtbeginS\.o%s//' -e 's/crtendS\.o%s//' -e 's/^libgcc\.a%s.*$//' "$work/prefix/lib/musl-gcc".*
}

# compiler-rt's builtins from LLVM's source package (130 MB, of which only
# that folder is unpacked).
build_builtins() {
    local src f musl headers
    # The C headers they include are musl's (glibc's have no soft-float o32).
    musl=$(bash "${BASH_SOURCE[0]}" musl)
    headers="-nostdinc -isystem $musl/include -isystem $(dirname "$($cross-gcc -print-libgcc-file-name)")/include"
    fetch llvm-toolchain-14 "$version" --download-only
    say "building compiler-rt's run-time routines for $cross ($musl_cflags)"
    tar xJf "$work"/src/llvm-toolchain-14_*.orig.tar.xz -C "$work/src" --wildcards \
        '*/compiler-rt/lib/builtins/*' '*/compiler-rt/LICENSE.TXT' || return 1
    src=$(echo "$work"/src/*/compiler-rt)
    for f in $builtins; do
        $cross-gcc $musl_cflags $headers -O2 -c "$src/lib/builtins/$f.c" -o "$work/src/$f.o" 2>>"$work/build.log" || return 1
    done
    mkdir -p "$work/prefix/lib"
    (cd "$work/src" && $cross-ar rcs "$work/prefix/lib/libbuiltins.a" $(printf '%s.o ' $builtins))
    cp "$src/LICENSE.TXT" "$work/prefix/LICENSE.compiler-rt"
}

# QEMU's plugin header, for the cost meters (bench/meter.cpp), from the
# source package of the QEMU that runs them.
build_qemu-plugin() {
    fetch qemu "$version" --download-only
    tar xJf "$work"/src/qemu_*.orig.tar.xz -C "$work/src" --wildcards '*/include/qemu/qemu-plugin.h' || return 1
    mkdir -p "$work/prefix/include"
    cp "$work"/src/*/include/qemu/qemu-plugin.h "$work/prefix/include/"
}

# BusyBox on our musl, as the receivers' own userland is: from nothing but
# the applets in the fragment. musl has no kernel headers; the cross
# compiler's are reachable after musl's. The link takes musl's start files
# and our builtins, nothing of gcc's (see build_musl: BusyBox's link stops
# at the warning that mixing hard-float and soft-float objects gives).
build_busybox() {
    local src musl khdr rt
    musl=$(bash "${BASH_SOURCE[0]}" musl)
    rt=$(bash "${BASH_SOURCE[0]}" builtins)
    src=$(fetch busybox "$version")
    khdr=$work/kernel-headers
    mkdir -p "$khdr"
    for d in asm asm-generic linux mtd; do ln -sfn "/usr/$cross/include/$d" "$khdr/$d"; done
    say "building BusyBox for $cross on musl (about a minute)"
    local make=(make -C "$src" CROSS_COMPILE=$cross- CC="$musl/bin/musl-gcc $musl_cflags -isystem $khdr" -j"$jobs")
    (cd "$src" && "${make[@]}" allnoconfig &&
        grep -E '^CONFIG_' "$busybox_config" | while IFS='=' read -r sym value; do
            sed -i -e "/^# $sym is not set\$/d" -e "/^$sym=/d" .config && echo "$sym=$value" >>.config
        done && sed -i '/^CONFIG_EXTRA_LDFLAGS=/d' .config &&
        echo "CONFIG_EXTRA_LDFLAGS=\"-Wl,--whole-archive $rt/lib/libbuiltins.a -Wl,--no-whole-archive\"" >>.config &&
        yes '' | "${make[@]}" oldconfig && "${make[@]}" &&
        "${make[@]}" CONFIG_PREFIX="$work/prefix" install) >"$work/build.log" 2>&1 || return 1
    config_took "$busybox_config" "$src/.config" || fail "BusyBox's configuration did not take: $missed"
    cp "$src/.config" "$work/prefix/busybox.config"
    cp "$src/busybox_unstripped" "$work/prefix/busybox.unstripped" # with its functions' names, for the scan
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
# without its modules, merged with our fragments.
build_kernel() {
    local tarball=/usr/src/linux-source-6.1.tar.xz src f
    [ -f "$tarball" ] || fail "$tarball is missing (package linux-source-6.1)"
    mkdir -p "$work/src"
    say "building the emulated receiver's kernel ($name) (about 4 minutes on 2 cores)"
    tar xJf "$tarball" -C "$work/src" || return 1
    src=$work/src/linux-source-6.1
    local make=(make -C "$src" ARCH=mips CROSS_COMPILE=$cross- -j"$jobs")
    grep -v '=m$' "$src/arch/mips/configs/malta_defconfig" >"$src/arch/mips/configs/rxvm_defconfig"
    (cd "$src" && "${make[@]}" rxvm_defconfig &&
        scripts/kconfig/merge_config.sh -m .config "${kernel_configs[@]}" && "${make[@]}" olddefconfig &&
        "${make[@]}" vmlinux && gcc -O2 -o usr/gen_init_cpio usr/gen_init_cpio.c) >"$work/build.log" 2>&1 || return 1
    for f in "${kernel_configs[@]}"; do
        config_took "$f" "$src/.config" || fail "the kernel's configuration did not take: $missed"
    done
    mkdir -p "$work/prefix"
    cp "$src/vmlinux" "$src/usr/gen_init_cpio" "$src/.config" "$work/prefix/"
}

digest() { sha256sum | cut -c1-12; }
# stop_children PID: stops every process below PID and waits (up to 10 s) until they are gone.
descendants() {
    local child
    for child in $(pgrep -P "$1"); do
        echo "$child"
        descendants "$child"
    done
}
stop_children() {
    local pids pid alive i
    pids=$(descendants "$1")
    [ -n "$pids" ] || return 0
    kill $pids 2>/dev/null
    for ((i = 0; i < 100; i++)); do
        alive=
        for pid in $pids; do kill -0 "$pid" 2>/dev/null && alive=$pid; done
        [ -n "$alive" ] || return 0
        sleep 0.1
    done
}
# sweep_stale: the temporary folders that builds killed outright left in the
# cache, with any process still working in them. A folder is stale when
# nobody holds its entry's lock; this entry's lock is held here already.
sweep_stale() {
    local folder lock p cwd
    for folder in "$cache"/.*.??????; do
        [ -d "$folder" ] || continue
        lock=${folder##*/.}
        lock=$cache/${lock%.*}.lock
        if [ "$lock" != "$cache/$entry.lock" ]; then
            { exec 8>>"$lock"; } 2>/dev/null || continue
            flock -n 8 || { exec 8>&-; continue; }
        fi
        for p in /proc/[0-9]*; do
            cwd=$(readlink "$p/cwd" 2>/dev/null) || continue
            [[ $cwd == "$folder" || $cwd == "$folder"/* ]] && kill -KILL "${p#/proc/}" 2>/dev/null
        done
        # Another user's leftover may not be ours to remove: it is left, and said.
        if rm -rf "$folder" 2>/dev/null; then
            say "removed what a killed build left: $folder"
        else
            say "cannot remove what a killed build left, $folder (not yours to remove); building beside it"
        fi
        exec 8>&-
    done
}
name=${1:-}
busybox_config=$vm/busybox.config
kernel_configs=("$vm/kernel.config")
case $name in
    musl | busybox) package=$name ;;
    builtins) package=llvm-toolchain-14 ;;
    kernel) package=linux-source-6.1 ;;
    kernel-nofp) package=linux-source-6.1 kernel_configs+=("$vm/kernel-nofp.config") ;;
    qemu-plugin) package=qemu ;;
    *) echo "usage: sources.sh musl|builtins|busybox|kernel|kernel-nofp|qemu-plugin" >&2; exit 2 ;;
esac
recipe=build_${name%-nofp}
command -v $cross-gcc >/dev/null || fail "$cross-gcc is missing (package gcc-$cross)"

# The key: the exact version, and a digest of the recipe, the compiler and what the build is given.
given="$(declare -f "$recipe" fetch config_took)
$($cross-gcc -v 2>&1 | tail -1)"
case $name in
    kernel*)
        version=$(dpkg-query -W -f='${Version}' $package 2>/dev/null) || fail "package $package is missing"
        given+=$(cat "${kernel_configs[@]}")
        ;;
    qemu-plugin)
        # The header must be that of the QEMU that loads the plugin: the
        # installed one's, or where the archive has moved on to a newer
        # update of the same QEMU (whose plugin interface is the same), that.
        ensure_deb_src $package
        version=$(dpkg-query -W -f='${source:Version}' qemu-user 2>/dev/null) || fail "package qemu-user is missing"
        if ! apt-cache showsrc qemu | grep -qxF "Version: $version"; then
            upstream=${version%-*}
            version=$(apt-cache showsrc qemu | sed -n 's/^Version: //p' | grep -F "$upstream-" | sort -V | tail -1)
            [ -n "$version" ] || fail "Debian's archive has no source of QEMU $upstream, the installed one"
        fi
        ;;
    *)
        ensure_deb_src $package
        version=$(source_version $package)
        given+=" $musl_cflags"
        [ "$name" = builtins ] && given+=" $builtins $(basename "$(dirname "$(bash "${BASH_SOURCE[0]}" musl)")")"
        if [ "$name" = busybox ]; then
            given+=$(cat "$busybox_config")
            for b in musl builtins; do given+=$(basename "$(dirname "$(bash "${BASH_SOURCE[0]}" $b)")"); done
        fi
        ;;
esac
entry=$name-${version#*:}-$(printf '%s' "$given" | digest)
dir=$cache/$entry
if [ ! -d "$dir/prefix" ]; then
    mkdir -p "$cache" 2>/dev/null || fail "cannot make the cache folder $cache; set RX_CACHE to a folder you may write"
    cache=$(cd "$cache" && pwd -P) dir=$cache/$entry
    # The kernel's and musl's builds cannot run under a path with a blank.
    [[ $cache != *[[:space:]]* ]] ||
        fail "the cache folder '$cache' has a blank in its path, where the builds from source cannot run; set RX_CACHE to a folder without one"
    exec 9>>"$cache/$entry.lock" || fail "cannot lock $cache/$entry.lock"
    if ! flock -n 9; then
        say "waiting for another build of $entry"
        flock 9
    fi
    if [ ! -d "$dir/prefix" ]; then
        sweep_stale
        work=$(mktemp -d "$cache/.$entry.XXXXXX")
        chmod u=rwx,go=rx "$work" # the cache may be shared: the others read it
        # Stopped half way, the build's processes stop too and its folder
        # goes; the status is a stopped program's, 128 and the signal.
        trap 'rm -rf "$work"' EXIT
        trap 'stop_children $$; exit 130' INT
        trap 'stop_children $$; exit 143' TERM
        trap 'stop_children $$; exit 129' HUP
        set +e
        set -m # the build, and its watcher, each in a process group of its own
        (set -e; "$recipe") 9>&- &
        build=$!
        # Killed outright (SIGKILL), alone or with its whole process group
        # (timeout, a CI's end), this script runs no trap: the watcher,
        # outside that group, then stops the build's processes and removes
        # its folder.
        (trap '' INT HUP; while kill -0 $$ 2>/dev/null; do sleep 0.5; done
            kill -KILL -- -$build 2>/dev/null; rm -rf "$work") 9>&- </dev/null >/dev/null 2>&1 &
        watcher=$!
        set +m
        wait $build
        built=$?
        kill $watcher 2>/dev/null
        set -e
        if [ $built -ne 0 ]; then
            mv -f "$work/build.log" "$cache/$entry.failed.log" 2>/dev/null || mv -f "$work/fetch.log" "$cache/$entry.failed.log"
            tail -20 "$cache/$entry.failed.log" >&2
            fail "$name did not build (log: $cache/$entry.failed.log)"
        fi
        rm -rf "$work/src" "$work/stage" "$cache/$entry.failed.log"
        mv -T "$work" "$dir"
        trap - EXIT
    fi
fi
echo "$dir/prefix"
