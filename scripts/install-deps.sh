#!/usr/bin/env bash
# Installs the Debian packages a build needs, only where they are missing.
#   scripts/install-deps.sh          the Linux build and its tests
#   scripts/install-deps.sh windows  also the Windows cross builds, Wine, and
#                                    qemu-user for kernels without 32-bit support
set -euo pipefail

packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev python3 time
          clang libclang-rt-14-dev util-linux)
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 qemu-user-static)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ "${1:-}" = windows ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
