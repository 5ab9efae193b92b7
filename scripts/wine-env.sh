# shellcheck shell=dash
# Sourced by the scripts that run Windows programs: the Wine binaries and a prefix per build tree.
# Sourcing never fails, so a script can run scripts/bootstrap.sh after it on a machine that has no
# Wine yet; kiv_wine_prefix is what needs Wine and says so when it is missing.
export WINEDEBUG=${WINEDEBUG:--all}
# No Gecko or Mono install prompts, no desktop menu entries.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=d}

# kiv_build_arch BUILD_DIR: prints i686 or x86_64, the architecture of a Windows build tree.
kiv_build_arch() {
  if grep -q 'i686-w64-mingw32' "$1/CMakeCache.txt" 2>/dev/null; then
    echo i686
  else
    echo x86_64
  fi
}

# kiv_wine_for BUILD_DIR: sets KIV_WINE, KIV_WINESERVER and WINEARCH for the tree's architecture.
# The i686 tree runs on the 32-bit loader in a 32-bit prefix, the x86_64 tree on the 64-bit one.
kiv_wine_for() {
  if [ "$(kiv_build_arch "$1")" = i686 ]; then
    KIV_WINE=/usr/lib/wine/wine
    export WINEARCH=win32
  else
    KIV_WINE=/usr/lib/wine/wine64
    export WINEARCH=win64
  fi
  KIV_WINESERVER=/usr/lib/wine/wineserver64
  [ -x "$KIV_WINESERVER" ] || KIV_WINESERVER=/usr/lib/wine/wineserver32
  [ -x "$KIV_WINESERVER" ] || KIV_WINESERVER=$(command -v wineserver || echo wineserver)
  export KIV_WINE KIV_WINESERVER
  if [ ! -x "$KIV_WINE" ]; then
    echo "wine-env: $KIV_WINE is missing; run scripts/bootstrap.sh" >&2
    return 1
  fi
}

# kiv_wine_prefix BUILD_DIR: sets WINEPREFIX to the build tree's prefix, creating it once. Tests
# that run side by side may ask at the same time: one creates it, the others wait for it.
kiv_wine_prefix() {
  kiv_wine_for "$1" || return 1
  export WINEPREFIX="$1/wineprefix"
  [ -f "$WINEPREFIX/.kiv-ready-2" ] && return 0
  mkdir -p "$1"
  # fd 8: the lock's file, for flock; closed again before returning.
  exec 8>"$1/wineprefix.lock"
  flock 8
  if [ ! -f "$WINEPREFIX/.kiv-ready-2" ]; then
    mkdir -p "$WINEPREFIX"
    "$KIV_WINE" wineboot -i >/dev/null 2>&1 || true
    "$KIV_WINESERVER" -w
    # The status window's font: "ＭＳ Ｐゴシック" drawn with an installed Japanese font.
    "$KIV_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1 || true
    "$KIV_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1 || true
    # Menus, dialogs and message boxes use the system's Latin fonts: let them fall back to IPA
    # Gothic for Japanese glyphs.
    for face in Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2' 'Microsoft Sans Serif' 'Segoe UI' Arial; do
      "$KIV_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$face" /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1 || true
    done
    "$KIV_WINESERVER" -w
    touch "$WINEPREFIX/.kiv-ready-2"
  fi
  exec 8>&-
}

# kiv_wine_session: a wineserver for WINEPREFIX kept running until "wineserver -k", and the
# session's services started, their output going nowhere: programs started later find them
# running, and no service holds a caller's output pipe open.
kiv_wine_session() {
  "$KIV_WINESERVER" -p >/dev/null 2>&1 || true
  "$KIV_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# kiv_wine_prefix_or_kept BUILD_DIR: the prefix a caller already made for this process when
# KIV_KEEP_WINEPREFIX is set (tests/mesh/wine-netns.sh does, for its namespace), else the build
# tree's, as kiv_wine_prefix gives it.
kiv_wine_prefix_or_kept() {
  if [ -n "${KIV_KEEP_WINEPREFIX:-}" ]; then
    kiv_wine_for "$1"
  else
    kiv_wine_prefix "$1"
  fi
}

# kiv_wine_prefix_copy DEST: a private copy of the current WINEPREFIX at DEST, and WINEPREFIX set to
# it, so that a wineserver of its own (in a network namespace, say) serves it. Hard links where DEST
# is on the prefix's file system (callers keep their copies in the build tree), with the registry
# files Wine rewrites in place copied for real; elsewhere, such as a tmpfs /tmp, a full copy.
kiv_wine_prefix_copy() {
  local src=$WINEPREFIX f
  mkdir -p "$(dirname "$1")"
  if cp -al "$src" "$1" 2>/dev/null; then
    for f in "$src"/*.reg; do cp --remove-destination "$f" "$1/${f##*/}"; done
  else
    rm -rf "$1"
    cp -a --reflink=auto "$src" "$1" || { echo "wine-env: cannot copy $src to $1" >&2; return 1; }
  fi
  export WINEPREFIX=$1
}
