#!/usr/bin/env bash
# Some machines (this project's CI among them) run a kernel that cannot
# execute 32-bit x86 ELF programs, and so cannot start 32-bit Wine. There the
# rig runs Wine's 32-bit programs through QEMU's user-mode emulator, registered
# for i386 ELF in a private binfmt_misc of a user namespace (tests/rig/qemu-ns.sh).
# Bookworm's QEMU 7.2 mishandles MAP_FIXED_NOREPLACE, which Wine relies on;
# QEMU 10 (trixie's static qemu-user) does not. The package is taken by name
# from Debian through a private apt configuration, without adding the suite
# to the machine's sources, and only its static qemu-i386 is kept.
set -euo pipefail
dest=${ORM_QEMU_DIR:-/opt/ormgen-rig}
[ -x "$dest/qemu-i386" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/archives/partial" "$work/etc/preferences.d"
cat > "$work/etc/trixie.sources" <<SRC
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$work/etc"
      -o "Dir::Etc::Preferences=/dev/null" -o "Dir::Etc::PreferencesParts=$work/etc/preferences.d"
      -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives"
      -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Sandbox::User=root")
apt-get "${opts[@]}" update -q
(cd "$work" && apt-get "${opts[@]}" download qemu-user)
dpkg -x "$work"/qemu-user_*.deb "$work/x"
mkdir -p "$dest"
install -m 755 "$work/x/usr/bin/qemu-i386" "$dest/qemu-i386"
"$dest/qemu-i386" --version | head -n 1
