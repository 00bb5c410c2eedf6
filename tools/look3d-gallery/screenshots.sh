#!/usr/bin/env bash
# Takes the look gallery's screenshots under an emulated Windows NT 3.51 (the
# look paints frames and controls below version 3.95) into docs/images/:
#   look3d-gallery.png        both dialogs, without and with the look
#   look3d-gallery-plain.png  the dialog as the system draws it
#   look3d-gallery-look.png   the dialog with the look
# Usage: tools/look3d-gallery/screenshots.sh [WIN32_BUILD_DIR]
#        (default build/win32; the build must hold bin/look3d-gallery.exe)
# Runs on its own Xvfb display and, unless ORM_WINEPREFIX is set, in its own
# Wine prefix (build/gallery-prefix), so it disturbs no test run.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export ORM_WINEPREFIX=${ORM_WINEPREFIX:-$root/build/gallery-prefix}
. "$root/tests/rig/wine-env.sh"
rig_reexec "$0" "$@"

build=$(cd "${1:-$root/build/win32}" && pwd)
exe="$build/bin/look3d-gallery.exe"
[ -f "$exe" ] || { echo "no $exe: build the target look3d-gallery first" >&2; exit 1; }
out="$root/docs/images"
mkdir -p "$out"
work=$(mktemp -d)

unset DISPLAY                   # always a display of our own
rig_start
cleanup() {
  rig_stop
  rm -rf "$work"
}
trap cleanup EXIT

# The emulated version is chosen per program name.
wine reg add 'HKCU\Software\Wine\AppDefaults\look3d-gallery.exe' /v Version /t REG_SZ \
  /d nt351 /f >/dev/null 2>&1

report="$work/report.txt"
wine "$exe" --seconds 120 --report "$(winepath -w "$report")" >/dev/null 2>&1 &
gallery=$!

# The gallery writes its report once both dialogs have painted.
for _ in $(seq 1 600); do
  [ -s "$report" ] && break
  kill -0 "$gallery" 2>/dev/null || { echo "the gallery ended early" >&2; exit 1; }
  sleep 0.1
done
[ -s "$report" ] || { echo "the gallery did not report its windows" >&2; exit 1; }

# Take the screen until two shots in a row agree: painting has finished.
prev=""
for i in $(seq 1 20); do
  import -window root "$work/shot$i.png"
  sum=$(convert "$work/shot$i.png" rgb:- | md5sum | cut -d' ' -f1)
  if [ "$sum" = "$prev" ]; then
    break
  fi
  prev=$sum
  sleep 0.3
done
shot="$work/shot$i.png"

read -r _ pl pt pr pb < <(tr -d '\r' < "$report" | grep '^plain ')
read -r _ ll lt lr lb < <(tr -d '\r' < "$report" | grep '^look ')
crop() { convert "$shot" -crop "$(($3 - $1))x$(($4 - $2))+$1+$2" +repage "$5"; }
crop "$pl" "$pt" "$pr" "$pb" "$out/look3d-gallery-plain.png"
crop "$ll" "$lt" "$lr" "$lb" "$out/look3d-gallery-look.png"
left=$((pl < ll ? pl : ll)); top=$((pt < lt ? pt : lt))
right=$((pr > lr ? pr : lr)); bottom=$((pb > lb ? pb : lb))
crop "$((left - 4))" "$((top - 4))" "$((right + 4))" "$((bottom + 4))" "$out/look3d-gallery.png"

kill "$gallery" 2>/dev/null || true
wait "$gallery" 2>/dev/null || true
echo "wrote $out/look3d-gallery.png, look3d-gallery-plain.png, look3d-gallery-look.png"
