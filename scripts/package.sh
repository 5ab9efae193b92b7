#!/usr/bin/env bash
# Builds the Windows packages of the shipped i686 build: the portable build/win32/kiv-<version>-win32.zip
# and the per-user installer build/win32/kiv-<version>-win32.msi, each with kiv.exe, its help page
# Kiv.html, kmconsole.exe and the readmes for Windows users (README.txt, README-ja.txt).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/bootstrap.sh
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" >/dev/null
cmake --build build/win32 -j"$(nproc)" --target kiv_package
ls build/win32/kiv-*-win32.zip build/win32/kiv-*-win32.msi
