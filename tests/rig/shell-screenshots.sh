#!/usr/bin/env bash
# Retakes the README's pictures of the shell's message boxes under NT 3.51
# emulation: message 2 with the look's frame, the invalid-record box with the
# system's own. Needs a built Win32 tree (default build/win32).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "${1:-$root/build/win32}/bin" && pwd)
cd "$bin"
"$root/tests/rig/wine-session.sh" wine shell_wine_test.exe --gtest_filter='*LookFrameOnShellBoxes*'
mkdir -p "$root/docs/images"
convert shell_work/look_msg2.exe.bmp "$root/docs/images/shell-message2-nt351.png"
convert shell_work/look_invalid.exe.bmp "$root/docs/images/shell-invalid-record-nt351.png"
echo "wrote docs/images/shell-message2-nt351.png and docs/images/shell-invalid-record-nt351.png"
