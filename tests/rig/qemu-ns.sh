#!/usr/bin/env bash
# Runs "$@" with i386 ELF programs routed to QEMU's user-mode emulator through
# a binfmt_misc private to this user namespace (Linux 6.7 and later). Started
# by the rig as: unshare --user --map-root-user --mount --fork qemu-ns.sh CMD...
set -e
qemu=${ORM_QEMU_I386:-/opt/ormgen-rig/qemu-i386}
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# Magic and mask of a 32-bit little-endian x86 ELF executable or shared object;
# F: the interpreter is opened now, so it works inside any mount namespace.
printf '%s' ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" \
  > /proc/sys/fs/binfmt_misc/register
export ORM_IN_QEMU_NS=1
exec "$@"
