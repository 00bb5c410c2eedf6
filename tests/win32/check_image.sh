#!/usr/bin/env bash
# Checks the built ORMGEN32.EXE as a file: it imports from system DLLs only,
# carries the asInvoker manifest (a shell renamed SETUP.EXE must not be taken
# for an installer) and its settings record section.
set -euo pipefail
exe=${1:?usage: check_image.sh ORMGEN32.EXE}
fail=0
# Read the headers once: grep -q on a pipe would end objdump early (SIGPIPE).
headers=$(i686-w64-mingw32-objdump -p "$exe")
sections=$(i686-w64-mingw32-objdump -h "$exe")
dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort -u)
for dll in $dlls; do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|MSVCRT.DLL) ;;
    *) echo "unexpected import: $dll"; fail=1 ;;
  esac
done
echo "imports: $(echo $dlls)"
grep -q 'requestedExecutionLevel level="asInvoker"' "$exe" || { echo "no asInvoker manifest"; fail=1; }
grep -q ' \.ormset ' <<<"$sections" || { echo "no .ormset section"; fail=1; }
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" \
  || { echo "not a GUI program"; fail=1; }
[ $fail -eq 0 ] && echo "ORMGEN32.EXE image checks passed"
exit $fail
