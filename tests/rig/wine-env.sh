# Sourced: the Wine environment of the test rig. One private prefix, no
# Mono/Gecko installers, quiet. ORM_WINEARCH chooses it:
#  - win32 (default): a 32-bit prefix, ORM_WINEPREFIX (default build/wineprefix);
#  - win64: a 64-bit prefix, ORM_WINEPREFIX64 (default build/wineprefix64),
#    where 64-bit programs run natively and 32-bit ones (the shell) as well.
# ORM_WINE is the loader for the prefix's own programs: 64-bit ones are
# started by wine64 directly rather than through the 32-bit loader.
ORM_ROOT=${ORM_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
export ORM_WINEARCH=${ORM_WINEARCH:-win32}
if [ "$ORM_WINEARCH" = win64 ]; then
  export WINEARCH=win64
  export WINEPREFIX=${ORM_WINEPREFIX64:-$ORM_ROOT/build/wineprefix64}
  export ORM_WINE=/usr/lib/wine/wine64
else
  export WINEARCH=win32
  export WINEPREFIX=${ORM_WINEPREFIX:-$ORM_ROOT/build/wineprefix}
  export ORM_WINE=wine
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree=;mshtml="

# rig_native32: true when this kernel runs 32-bit x86 programs itself.
rig_native32() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# rig_reexec SCRIPT ARGS: when 32-bit programs need the emulator and this
# process is not yet in the emulating namespace, runs SCRIPT again inside it.
# Returns (does nothing) otherwise.
rig_reexec() {
  if [ -z "${ORM_IN_QEMU_NS:-}" ] && ! rig_native32; then
    exec unshare --user --map-root-user --mount --fork \
      "$ORM_ROOT/tests/rig/qemu-ns.sh" "$@"
  fi
}

# rig_prefix_init: creates and prepares the prefix once.
rig_prefix_init() {
  if [ ! -f "$WINEPREFIX/.orm-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$ORM_WINE" wineboot -i >/dev/null 2>&1
    # Let wineboot's own server finish before a lasting one starts: a lasting
    # server started too early piled up services.exe processes.
    wineserver -w
    # Debian's Wine does not find its own fonts; without them captions fall
    # back to another font and the close button shows a letter.
    cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # Without a window manager Wine draws no frames unless it manages them.
    "$ORM_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.orm-ready"
  fi
}

# rig_display_start: an Xvfb display when none is given. Xvfb picks a free
# display number itself (-displayfd), so rigs started side by side never
# share one.
rig_display_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local numberFile
    numberFile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
    ORM_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      if [ -s "$numberFile" ]; then
        export DISPLAY=":$(tr -d '[:space:]' < "$numberFile")"
        rm -f "$numberFile"
        return 0
      fi
      sleep 0.1
    done
    rm -f "$numberFile"
    echo "Xvfb did not start" >&2
    return 1
  fi
}

rig_display_stop() {
  if [ -n "${ORM_XVFB_PID:-}" ]; then
    kill "$ORM_XVFB_PID" 2>/dev/null || true
    wait "$ORM_XVFB_PID" 2>/dev/null || true
    unset ORM_XVFB_PID
  fi
}

# rig_start / rig_stop: prefix, display and one lasting wineserver.
rig_start() {
  rig_prefix_init
  rig_display_start
  wineserver -p
  # The first program start brings up the prefix's services.
  "$ORM_WINE" cmd /c exit >/dev/null 2>&1 || true
}

rig_stop() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rig_display_stop
}
