# shellcheck shell=bash disable=SC2034  # read by the tests that source lib.sh
# Sourced by lib.sh: the identifiers of the controls the end-to-end tests drive, under their
# names in the program, read from the program's own sources: every `.Name = "...", .Id = ...` of
# the dialogs' tables (src/core/OptionDialog.h) and the enumerators of the about box
# (src/win32/VersionUnit.h). Then the tray icon's callback message and the system's numbers of
# the mouse messages and keys the tests send.
KIV_SOURCES=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/src

# kiv_table_ids FILE: NAME=ID for every row of FILE that names a control.
kiv_table_ids() {
  tr '\n' ' ' <"$1" | grep -oE '\.Name = "id[A-Za-z0-9_]+", *\.Id = [0-9]+' \
    | sed -E 's/\.Name = "([^"]+)", *\.Id = ([0-9]+)/\1=\2/'
}
eval "$(kiv_table_ids "$KIV_SOURCES/core/OptionDialog.h")"
eval "$(grep -oE '^ *id[A-Za-z0-9_]+ = [0-9]+' "$KIV_SOURCES/win32/VersionUnit.h" | tr -d ' ')"

kTrayCallbackMessage=$(grep -oE 'kCallbackMessage = 0x[0-9A-Fa-f]+' "$KIV_SOURCES/win32/Win32Ports.h" | sed 's/.*= //')
WM_LBUTTONDBLCLK=0x203
WM_RBUTTONUP=0x205

# Virtual keys sent to controls and menus.
VK_RETURN=0x0D
VK_ESCAPE=0x1B
VK_END=0x23
