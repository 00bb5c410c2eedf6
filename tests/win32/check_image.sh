#!/usr/bin/env bash
# Checks the built ORMGEN32.EXE as a file:
#  - at most 40,960 bytes;
#  - at load time it imports from KERNEL32 alone, and only functions that
#    Win32s, the 95 family and NT 3.51 all have: USER32, GDI32 and the rest
#    are bound on first use (shell/late_imports.txt), so a run that shows no
#    window never loads them, and newer functions are looked up at run time;
#  - address randomisation (DYNAMIC_BASE, with its relocations kept) and
#    non-executable data (NX_COMPAT) are on;
#  - it carries the asInvoker manifest (a shell renamed SETUP.EXE must not be
#    taken for an installer) and its settings record section, and is a GUI
#    program.
set -euo pipefail
exe=${1:?usage: check_image.sh ORMGEN32.EXE}
fail=0
limit=40960
# KERNEL32 functions the shell may import at load time. Add one only when
# every system the shell runs on exports it (NT 3.51, Windows 95 as first
# shipped, Win32s); anything else goes to shell/late_imports.txt or is looked
# up with GetProcAddress.
allowed="CloseHandle CreateFileA CreateProcessA EnterCriticalSection ExitProcess
  FindResourceA FormatMessageA GetCommandLineA GetCurrentThreadId GetExitCodeProcess
  GetFileSize GetLastError GetModuleFileNameA GetModuleHandleA GetProcAddress
  GetProcessHeap GetProfileStringA GetStartupInfoA GetVersion GetVersionExA
  GetWindowsDirectoryA GlobalAddAtomA GlobalAlloc GlobalDeleteAtom GlobalFree HeapAlloc
  HeapFree InitializeCriticalSection LeaveCriticalSection LoadLibraryA LoadResource
  LockResource MultiByteToWideChar ReadFile SetEnvironmentVariableA SetErrorMode
  SetFilePointer SetLastError SizeofResource Sleep WaitForSingleObject lstrcmpA
  lstrcmpiA lstrlenA"

size=$(stat -c %s "$exe")
echo "size: $size bytes (at most $limit)"
[ "$size" -le "$limit" ] || { echo "larger than $limit bytes"; fail=1; }

# Read the headers once: grep -q on a pipe would end objdump early (SIGPIPE).
headers=$(i686-w64-mingw32-objdump -p "$exe")
sections=$(i686-w64-mingw32-objdump -h "$exe")
dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort -u)
for dll in $dlls; do
  [ "$dll" = KERNEL32.DLL ] || { echo "imported at load time: $dll"; fail=1; }
done
echo "imports: $(echo $dlls)"
# Lines of the import tables: "<hint-name RVA> <hint> <name>".
functions=$(awk '/^\tDLL Name:/ { inTable = 1; next }
                 inTable && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print $3; next }
                 /^$/ { inTable = 0 }' <<<"$headers")
[ -n "$functions" ] || { echo "no imported functions found"; fail=1; }
for function in $functions; do
  grep -qw -- "$function" <<<"$allowed" || { echo "imported at load time: $function"; fail=1; }
done

characteristics=$(awk '$1 == "Characteristics" { print $2 }' <<<"$headers")
dllCharacteristics=$(awk '$1 == "DllCharacteristics" { print $2 }' <<<"$headers")
(( 0x$dllCharacteristics & 0x40 )) || { echo "no DYNAMIC_BASE"; fail=1; }
(( 0x$dllCharacteristics & 0x100 )) || { echo "no NX_COMPAT"; fail=1; }
(( characteristics & 0x1 )) && { echo "relocations stripped"; fail=1; }
grep -Eq '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers" \
  || { echo "no base relocations"; fail=1; }

grep -q 'requestedExecutionLevel level="asInvoker"' "$exe" || { echo "no asInvoker manifest"; fail=1; }
grep -q ' \.ormset ' <<<"$sections" || { echo "no .ormset section"; fail=1; }
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" \
  || { echo "not a GUI program"; fail=1; }
[ $fail -eq 0 ] && echo "ORMGEN32.EXE image checks passed"
exit $fail
