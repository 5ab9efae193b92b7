# shellcheck shell=bash disable=SC2154  # top: set by the script that sources this one
# Sourced by the run and demo commands: builds the Windows tree that Kiv runs from and sets
# RUN_BUILD to it. The shipped i686 build where this machine runs 32-bit code, else the x86_64
# one; KIV_RUN_ARCH=i686 or x86_64 chooses. Says which.
kiv_run_build() {
  local arch=${KIV_RUN_ARCH:-} toolchain note
  if [ -z "$arch" ]; then
    if bash "$top/scripts/runs-32bit.sh"; then arch=i686; else arch=x86_64; fi
  fi
  if [ "$arch" = i686 ]; then
    RUN_BUILD=$top/build/win32
    toolchain=mingw-w64-i686
    note="the shipped i686 build (build/win32)"
  else
    RUN_BUILD=$top/build/win64
    toolchain=mingw-w64-x86_64
    note="the x86_64 build (build/win64): this machine cannot execute 32-bit code"
  fi
  [ -f "$RUN_BUILD/CMakeCache.txt" ] ||
    cmake -S "$top" -B "$RUN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$toolchain.cmake" >/dev/null
  cmake --build "$RUN_BUILD" -j"$(nproc)" --target kiv rassim rassimctl
  export KIV_RUN_ARCH=$arch
  echo "Kiv runs $note."
}
