#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine (as root).
# Quick when everything is already there.
set -euo pipefail

# The 64-bit MinGW compilers build the product library for 64-bit products,
# whose tests run in a 64-bit prefix of wine64.
# wine64 brings the 64-bit wineserver, which serves 32-bit prefixes too. Where
# Wine's 32-bit programs run under QEMU (see below), a 32-bit wineserver is
# emulated as well and cannot read its clients' memory (no ptrace under
# QEMU's user mode): ReadProcessMemory and every module or process-list
# snapshot then fail with access denied. The native 64-bit server can.
need=(cmake ninja-build g++ python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest
      wine wine32:i386 wine64 fonts-wine xvfb x11-apps imagemagick xdotool
      osslsigncode openssl clang libclang-rt-14-dev libinih-dev libsimpleini-dev pkg-config)

missing=()
for p in "${need[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
if ! grep -qx i386 <<<"$(dpkg --print-foreign-architectures)"; then
  $SUDO dpkg --add-architecture i386
fi
# A mirror that is mid-sync can fail one index; the install below still
# works from the others, so a partial update is not fatal.
$SUDO apt-get update -q || echo "apt-get update reported errors; going on"
# The i386 lists of the security suite can lag behind amd64; multi-arch
# packages need equal versions, hence the release pin.
$SUDO apt-get install -y -q -t bookworm "${missing[@]}"
fi

# A kernel without 32-bit x86 support needs the emulator for Wine's programs.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  "$(dirname "${BASH_SOURCE[0]}")/install-qemu.sh"
fi
