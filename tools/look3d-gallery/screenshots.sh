#!/usr/bin/env bash
# Takes the look gallery's screenshots into docs/images/, under an emulated
# Windows NT 3.51 (the look paints frames and controls below version 3.95):
#   look3d-gallery.png        both dialogs, without and with the look
#   look3d-gallery-plain.png  the dialog as the system draws it
#   look3d-gallery-look.png   the dialog with the look
# and at Wine's default version (a current Windows, where the look leaves
# buttons and combo boxes to the system), for a dialog made as a program
# written for Windows before 4.0 gets it:
#   look3d-gallery-current.png, look3d-gallery-current-plain.png,
#   look3d-gallery-current-look.png
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

# shoot VERSION SUFFIX [GALLERY ARGS...]: one run of the gallery under the
# emulated VERSION ("default": none), its pictures named look3d-gallery<SUFFIX>.
shoot() {
  local version=$1 suffix=$2
  shift 2
  # The emulated version is chosen per program name.
  if [ "$version" = default ]; then
    wine reg delete 'HKCU\Software\Wine\AppDefaults\look3d-gallery.exe' /v Version /f \
      >/dev/null 2>&1 || true
  else
    wine reg add 'HKCU\Software\Wine\AppDefaults\look3d-gallery.exe' /v Version /t REG_SZ \
      /d "$version" /f >/dev/null 2>&1
  fi

  local report="$work/report$suffix.txt"
  wine "$exe" --seconds 120 --report "$(winepath -w "$report")" "$@" >/dev/null 2>&1 &
  local gallery=$!

  # The gallery writes its report once both dialogs have painted.
  for _ in $(seq 1 600); do
    [ -s "$report" ] && break
    kill -0 "$gallery" 2>/dev/null || { echo "the gallery ended early" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$report" ] || { echo "the gallery did not report its windows" >&2; exit 1; }

  # Take the screen until two shots in a row agree: painting has finished.
  local prev="" i sum
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
  crop "$pl" "$pt" "$pr" "$pb" "$out/look3d-gallery$suffix-plain.png"
  crop "$ll" "$lt" "$lr" "$lb" "$out/look3d-gallery$suffix-look.png"
  local left=$((pl < ll ? pl : ll)) top=$((pt < lt ? pt : lt))
  local right=$((pr > lr ? pr : lr)) bottom=$((pb > lb ? pb : lb))
  crop "$((left - 4))" "$((top - 4))" "$((right + 4))" "$((bottom + 4))" "$out/look3d-gallery$suffix.png"

  kill "$gallery" 2>/dev/null || true
  wait "$gallery" 2>/dev/null || true
  echo "wrote $out/look3d-gallery$suffix.png, look3d-gallery$suffix-plain.png, look3d-gallery$suffix-look.png"
}
crop() { convert "$shot" -crop "$(($3 - $1))x$(($4 - $2))+$1+$2" +repage "$5"; }

shoot nt351 ""
shoot default -current --old-dialogs
