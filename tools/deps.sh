#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs that this machine lacks,
# then builds musl and compiler-rt's builtins for the receiver from Debian's
# source packages (once, into the cache outside the tree; see tools/sources.sh).
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
packages=(
    cmake make g++ binutils coreutils util-linux procps
    libpng-dev googletest libgtest-dev libbenchmark-dev
    g++-mips-linux-gnu qemu-user
    clang libclang-rt-14-dev clang-format clang-tidy cppcheck
    strace imagemagick musl-dev attr acl
    # sources from Debian's archive, and what unpacks them
    dpkg-dev xz-utils bzip2
    # the emulated receiver: its kernel, and the machine that boots it
    qemu-system-mips linux-source-6.1 flex bison bc cpio gzip libssl-dev
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "deps: missing packages: ${missing[*]}; run as root, or: sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
    echo "deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
bash "$here/sources.sh" musl >/dev/null
bash "$here/sources.sh" builtins >/dev/null
