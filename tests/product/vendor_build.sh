#!/usr/bin/env bash
# The product's side as a vendor meets it, on a finished build:
#  1. "cmake --build BUILD --target package" makes the release archive; its
#     files are checked by name (nothing missing, nothing internal), and a
#     Windows archive's ORMGEN32.EXE must be the built one, byte for byte;
#  2. "cmake --install BUILD --prefix P" installs exactly the same files;
#  3. the library exports the functions its headers declare and nothing
#     else (nm), so that it cannot clash with a product's own names;
#  4. the archive is unpacked and examples/product is built against it with
#     find_package, as strict C (C99, pedantic, warnings as errors), and so
#     is tests/product/own_names, a product with its own FileExists and
#     FileOpen;
#  5. natively, the example product is also built by a project that takes
#     the library with add_subdirectory (tests/product/subdirectory).
# The products are left in BUILD/vendor/product/, BUILD/vendor/own_names/
# and BUILD/vendor/subdirectory/.
# Usage: vendor_build.sh BUILD_DIR [TOOLCHAIN_FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: vendor_build.sh BUILD_DIR [TOOLCHAIN_FILE]}" && pwd)
toolchain=${2:-}
vendor=$build/vendor
strict_c="-std=c99 -pedantic -Wall -Wextra -Werror"

# Runs a command quietly; shows its output only when it fails.
quiet() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    echo "failed: $*" >&2
    return 1
  fi
  rm -f "$log"
}

rm -rf "$vendor"
mkdir -p "$vendor"

# 1. The archive.
quiet cmake --build "$build" --target package
name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
archive=
for candidate in "$build/$name.zip" "$build/$name.tar.gz"; do
  [ -f "$candidate" ] && archive=$candidate
done
[ -n "$archive" ] || { echo "no archive $name.zip or $name.tar.gz in $build"; exit 1; }
system=${name##*-}
config=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" | tr 'A-Z' 'a-z')

expected() {
  local header image
  for header in ini.h embed.h; do
    echo "include/ormgen32/$header"
  done
  echo lib/libormgen32.a
  echo lib/cmake/ormgen32/ormgen32-config.cmake
  echo lib/cmake/ormgen32/ormgen32-config-version.cmake
  echo lib/cmake/ormgen32/ormgen32-targets.cmake
  echo "lib/cmake/ormgen32/ormgen32-targets-${config:-noconfig}.cmake"
  echo share/doc/ormgen32/README.md
  for image in "$root"/docs/images/*; do
    echo "share/doc/ormgen32/docs/images/${image##*/}"
  done
  case $system in
    win32) echo bin/ORMGEN32.EXE; echo bin/ormpack.exe ;;
    win64) ;;
    *) echo bin/ormpack ;;
  esac
}
expected | sort > "$vendor/expected.txt"

# Every entry lies under the archive's one top folder, NAME/.
cmake -E tar tf "$archive" > "$vendor/entries.txt"
if grep -v "^$name/" "$vendor/entries.txt"; then
  echo "entries outside $name/ in $archive"
  exit 1
fi
sed "s|^$name/||" "$vendor/entries.txt" | grep -v '/$' | grep -v '^$' | sort > "$vendor/archive.txt"
if ! diff -u "$vendor/expected.txt" "$vendor/archive.txt"; then
  echo "$archive does not hold the expected files (- expected, + found)"
  exit 1
fi
(cd "$vendor" && cmake -E tar xf "$archive")
if [ "$system" = win32 ]; then
  cmp "$vendor/$name/bin/ORMGEN32.EXE" "$build/bin/ORMGEN32.EXE"
fi
echo "archive: ${archive##*/} holds the $(wc -l < "$vendor/archive.txt") expected files"

# 2. The install.
quiet cmake --install "$build" --prefix "$vendor/prefix"
(cd "$vendor/prefix" && find . -type f | sed 's|^\./||' | sort) > "$vendor/installed.txt"
if ! diff -u "$vendor/expected.txt" "$vendor/installed.txt"; then
  echo "cmake --install does not give the expected files (- expected, + found)"
  exit 1
fi
echo "install: the same files"

# 3. The library's exported names: the functions the installed headers
#    declare (read from the headers as the preprocessor leaves them for the
#    library's system, so that comments and the other system's declarations
#    do not count), each defined, and nothing else.
nm_tool=$(sed -n 's/^CMAKE_NM:[A-Z]*=//p' "$build/CMakeCache.txt")
prefix=
windows=
case $system in
  win32) prefix=_; windows=-D_WIN32 ;;
  win64) windows=-D_WIN32 ;;
esac
printf '#include <ormgen32/embed.h>\n#include <ormgen32/ini.h>\n' |
  cc -E -P -x c $windows -I "$vendor/$name/include" - |
  grep -oE '\b(Ini|Embed)[A-Za-z0-9_]*[[:space:]]*\(' | sed "s/[[:space:]]*(\$//; s/^/$prefix/" |
  sort -u > "$vendor/declared.txt"
"$nm_tool" -g --defined-only "$vendor/$name/lib/libormgen32.a" | awk 'NF == 3 { print $3 }' |
  sort -u > "$vendor/exported.txt"
if ! diff -u "$vendor/declared.txt" "$vendor/exported.txt"; then
  echo "libormgen32.a does not export exactly what its headers declare (- declared, + exported)"
  exit 1
fi
echo "library: exports the $(wc -l < "$vendor/exported.txt") functions its headers declare, nothing else"

# 4. The example product, and a product with names of its own that the
#    library uses inside, against the unpacked archive.
for project in "$root/examples/product" "$root/tests/product/own_names"; do
  quiet cmake -S "$project" -B "$vendor/${project##*/}" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    ${toolchain:+"-DCMAKE_TOOLCHAIN_FILE=$toolchain"} \
    "-DCMAKE_PREFIX_PATH=$vendor/$name" "-DCMAKE_C_FLAGS=$strict_c"
  quiet cmake --build "$vendor/${project##*/}"
done
echo "example product: built with find_package as C ($strict_c)"
echo "a product with its own FileExists and FileOpen: built the same way"

# 5. The example product with the library taken by add_subdirectory.
if [ -z "$toolchain" ]; then
  quiet cmake -S "$root/tests/product/subdirectory" -B "$vendor/subdirectory" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release "-DORMGEN32_SOURCE_DIR=$root" "-DCMAKE_C_FLAGS=$strict_c"
  quiet cmake --build "$vendor/subdirectory"
  echo "example product: built with add_subdirectory"
fi
