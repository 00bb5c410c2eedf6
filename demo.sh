#!/usr/bin/env bash
# Builds ORMGEN32.EXE and ormpack, packages the shell in front of a small demo
# product with a configuration text, and runs it under Wine (on a private
# headless display when there is none), printing what the product received
# and the shell's exit code.
set -euo pipefail
cd "$(dirname "$0")"
. tests/rig/wine-env.sh
if [ -z "${ORM_IN_QEMU_NS:-}" ]; then
  tests/rig/install-deps.sh
  cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build build/win32 --target ormgen32 probe starter
  cmake -S . -B build/tool -G Ninja -DCMAKE_BUILD_TYPE=Release -DORM_TESTS=OFF >/dev/null
  cmake --build build/tool --target ormpack
fi
rig_reexec "$0" "$@"

demo=build/demo
mkdir -p "$demo"
cp build/win32/bin/probe.exe "$demo/DEMOPROD.EXE"
cat > "$demo/demo.ini" <<'INI'
[Product]
Name = "Demo product"
Colour = blue ; shown nowhere, read by the product itself
INI
pack=build/tool/bin/ormpack
"$pack" build build/win32/bin/ORMGEN32.EXE -o "$demo/DEMO.EXE" \
        --program '$SHELLDIR\DEMOPROD.EXE' --wait --config-required --config "$demo/demo.ini"
"$pack" inspect "$demo/DEMO.EXE"

rig_start >/dev/null 2>&1
trap rig_stop EXIT
rm -f "$demo/received.txt"
export PROBE_OUT="$(winepath -w "$demo/received.txt")"
shell="$(winepath -w "$demo/DEMO.EXE")"
echo "running: \"$shell\" hello \"two words\""
wine build/win32/bin/starter.exe "\"$shell\" hello \"two words\""
echo "the product received: $(cat "$demo/received.txt")"
