# Sourced by the scripts that run Windows programs: the Wine binaries and a prefix per build tree.
# The programs are 64-bit: these machines run no 32-bit code, so the 32-bit Wine loader cannot start.
KIV_WINE=${KIV_WINE:-/usr/lib/wine/wine64}
KIV_WINESERVER=${KIV_WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$KIV_WINE" ] || KIV_WINE=$(command -v wine64 || command -v wine)
[ -x "$KIV_WINESERVER" ] || KIV_WINESERVER=$(command -v wineserver)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Gecko or Mono install prompts, no desktop menu entries.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=d}

# kiv_wine_prefix BUILD_DIR: sets WINEPREFIX to the build tree's prefix, creating it once.
kiv_wine_prefix() {
  export WINEPREFIX="$1/wineprefix"
  if [ ! -f "$WINEPREFIX/.kiv-ready" ]; then
    mkdir -p "$WINEPREFIX"
    "$KIV_WINE" wineboot -i >/dev/null 2>&1 || true
    "$KIV_WINESERVER" -w
    # The status window's font: "ＭＳ Ｐゴシック" drawn with an installed Japanese font.
    "$KIV_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1 || true
    "$KIV_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1 || true
    "$KIV_WINESERVER" -w
    touch "$WINEPREFIX/.kiv-ready"
  fi
  if [ ! -f "$WINEPREFIX/.kiv-fontlink" ]; then
    # Message boxes draw with the system font (Tahoma), which has no Japanese glyphs: link
    # IPAPGothic behind it, so that their texts read as they do on a Japanese Windows.
    "$KIV_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1 || true
    "$KIV_WINESERVER" -w
    touch "$WINEPREFIX/.kiv-fontlink"
  fi
}
