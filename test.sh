#!/usr/bin/env bash
# The whole test suite, from a fresh clone on Debian 12 (as root, or with sudo):
# installs what is missing, then
#  1. the native build with AddressSanitizer/UBSan and its tests,
#  2. the fuzzers (clang, libFuzzer), each for a bounded time,
#  3. the Win32 build (MinGW) and its tests: real programs under 32-bit Wine;
#  4. the Win64 build (the product library for 64-bit products) and its tests
#     under 64-bit Wine, where the Win32 build's shell starts a 64-bit product.
# Each build also packs its release archive and builds the example product
# against it (tests/product/vendor_build.sh).
set -euo pipefail
cd "$(dirname "$0")"
tests/rig/install-deps.sh

echo "== host build and tests"
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORM_SANITIZE=ON >/dev/null
cmake --build build/host
ctest --test-dir build/host --output-on-failure -j 2

echo "== fuzzers"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORM_FUZZ=ON -DORM_TESTS=OFF >/dev/null
cmake --build build/fuzz
ctest --test-dir build/fuzz -L fuzz --output-on-failure -j 2

echo "== Win32 build and tests under Wine"
cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
      -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win32
tests/rig/wine-suite.sh build/win32

echo "== Win64 build (the product library) and its tests under 64-bit Wine"
cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win64
tests/rig/wine-suite.sh build/win64
