#!/usr/bin/env bash
# Benchmarks, each against a baseline measured in the same run:
#  - size of ORMGEN32.EXE;
#  - the shell's launch overhead under Wine: in alternating triples, the
#    product started directly, through a minimal launcher built as the shell
#    is, and through the shell; each launcher's extra time over the direct
#    start (medians) and the shell's extra time against the launcher's;
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
size=$(stat -c %s "$bin/ORMGEN32.EXE")
echo "size: $size bytes (at most 40960 wanted)"

echo "== launch overhead under Wine"
# Under QEMU single runs are noisy: medians over many triples.
triples=${ORM_BENCH_TRIPLES:-31}
work=build/bench-launch
mkdir -p "$work"
cp "$bin/probe_gui.exe" "$work/PRODUCT.EXE"
cp "$bin/bench_min_launcher.exe" "$work/LAUNCHER.EXE"
build/bench-host/bin/ormpack build "$bin/ORMGEN32.EXE" -o "$work/SHELL.EXE" --program '$SHELLDIR\PRODUCT.EXE'
echo "minimal launcher size: $(stat -c %s "$work/LAUNCHER.EXE") bytes"
rig_start >/dev/null 2>&1
trap rig_stop EXIT
wine "$bin/bench_launch.exe" "$(winepath -w "$work/SHELL.EXE")" "$(winepath -w "$work/LAUNCHER.EXE")" \
  "$(winepath -w "$work/PRODUCT.EXE")" "$triples"
echo "ORMGEN32.EXE size:                $size bytes (at most 40960 wanted)"

if [ -x build/bench-host/bin/bench_ini_throughput ]; then
  echo "== configuration parse throughput"
  build/bench-host/bin/bench_ini_throughput
fi
if [ -f "$bin/bench_look3d_paint.exe" ]; then
  echo "== look paint cost"
  wine "$bin/bench_look3d_paint.exe"
fi
