#!/usr/bin/env bash
# Runs one command inside a whole rig session (prefix, display, lasting
# wineserver), e.g. one Win32 test program with a gtest filter:
#   (cd build/win32/bin && ../../../tests/rig/wine-session.sh wine shell_wine_test.exe --gtest_filter='*Wait*')
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rig_reexec "$0" "$@"
rig_start >/dev/null 2>&1 || exit 1
trap rig_stop EXIT
"$@"
