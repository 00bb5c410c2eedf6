#!/usr/bin/env bash
# Runs the Wine tests of a Windows build: prepares the prefix, a display and
# a lasting wineserver, runs the build's tests, then tears it all down. A
# 64-bit build (ORM_WINE_ARCH in its cache) gets the 64-bit prefix.
# Usage: wine-suite.sh BUILD_DIR [extra ctest arguments]
set -uo pipefail
if grep -qx 'ORM_WINE_ARCH:INTERNAL=win64' "${1:-.}/CMakeCache.txt" 2>/dev/null; then
  export ORM_WINEARCH=win64
fi
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rig_reexec "$0" "$@"
build=${1:?usage: wine-suite.sh BUILD_DIR [ctest args]}
shift
rig_start || exit 1
trap rig_stop EXIT
ctest --test-dir "$build" --output-on-failure "$@"
