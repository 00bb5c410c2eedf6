#!/usr/bin/env bash
# Benchmarks, each against a baseline measured in the same run:
#  - size of ORMGEN32.EXE;
#  - the shell's launch overhead under Wine (shell-then-product against the
#    product started directly, medians over alternating pairs);
#  - configuration parse throughput against inih and SimpleIni (native);
#  - the look's paint cost (gallery dialog with and without the look).
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/rig/wine-env.sh
if [ -z "${ORM_IN_QEMU_NS:-}" ]; then
  tests/rig/install-deps.sh
  cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build build/win32
  cmake -S . -B build/bench-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DORM_TESTS=OFF >/dev/null
  cmake --build build/bench-host
fi
rig_reexec "$0" "$@"

bin=build/win32/bin
echo "== ORMGEN32.EXE"
echo "size: $(stat -c %s "$bin/ORMGEN32.EXE") bytes"

echo "== launch overhead under Wine"
work=build/bench-launch
mkdir -p "$work"
cp "$bin/probe_gui.exe" "$work/PRODUCT.EXE"
build/bench-host/bin/ormpack build "$bin/ORMGEN32.EXE" -o "$work/SHELL.EXE" --program '$SHELLDIR\PRODUCT.EXE'
rig_start >/dev/null 2>&1
trap rig_stop EXIT
wine "$bin/bench_launch.exe" "$(winepath -w "$work/SHELL.EXE")" "$(winepath -w "$work/PRODUCT.EXE")" 21

if [ -x build/bench-host/bin/bench_ini_throughput ]; then
  echo "== configuration parse throughput"
  build/bench-host/bin/bench_ini_throughput
fi
if [ -f "$bin/bench_look3d_paint.exe" ]; then
  echo "== look paint cost"
  wine "$bin/bench_look3d_paint.exe"
fi
