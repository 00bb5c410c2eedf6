#!/usr/bin/env bash
# Runs the Wine tests of a Win32 build: prepares the prefix, a display and a
# lasting wineserver, runs the build's tests, then tears it all down.
# Usage: wine-suite.sh BUILD_DIR [extra ctest arguments]
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rig_reexec "$0" "$@"
build=${1:?usage: wine-suite.sh BUILD_DIR [ctest args]}
shift
rig_start || exit 1
trap rig_stop EXIT
ctest --test-dir "$build" --output-on-failure "$@"
