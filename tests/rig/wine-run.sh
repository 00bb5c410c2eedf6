#!/usr/bin/env bash
# Runs one Win32 program under the rig's Wine environment; its exit code
# (low 8 bits, as Wine passes it) is ours.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rig_reexec "$0" "$@"
exec wine "$@"
