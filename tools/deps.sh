#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs that this machine lacks.
set -eu
packages=(
    cmake make g++ binutils coreutils util-linux procps
    libpng-dev googletest libgtest-dev libbenchmark-dev
    g++-mips-linux-gnu qemu-user
    clang libclang-rt-14-dev clang-format clang-tidy cppcheck
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "deps: missing packages: ${missing[*]}; run as root, or: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
