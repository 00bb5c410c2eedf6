#!/usr/bin/env bash
# Runs one Windows program under the rig's Wine environment (ORM_WINEARCH
# chooses the prefix); its exit code (low 8 bits, as Wine passes it) is ours.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rig_reexec "$0" "$@"
exec "$ORM_WINE" "$@"
