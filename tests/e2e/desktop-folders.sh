#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# kiv.exe started from folders whose names the system's code page cannot hold the way the
# program once cut them ("Café": 0xE9 looked like the lead byte of a double-byte character and
# hid the "\" after it) or cannot spell at all (Japanese on a Western system): Kiv.INI is read
# from beside kiv.exe, a save from the options dialog is written there, not in a parent, and
# the tray menu's help opens the page beside kiv.exe (Wine's browser hands it to xdg-open,
# here a stand-in that records it).
. "$(dirname "$0")/lib.sh"
start_session
new_run_dir
rm "$RUN_DIR/kiv.exe"
mkdir "$RUN_DIR/bin"
VIEWED=$RUN_DIR/viewed.txt
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$VIEWED" >"$RUN_DIR/bin/xdg-open"
chmod +x "$RUN_DIR/bin/xdg-open"
export PATH="$RUN_DIR/bin:$PATH"

status() { kivctl status | tr -d '\r'; }

for name in "Café" "キヴ表"; do
  dir=$RUN_DIR/$name
  mkdir -p "$dir"
  cp "$KIV_EXE" "$dir/kiv.exe"
  cp "$E2E_TOP/docs/help/Kiv.html" "$dir/"
  # Top left, without alpha: a start that did not read this file would place it bottom right.
  printf '[Option]\r\nStatusLocate=1\r\nStatusAlpha=0\r\nRedialCount=7\r\n' >"$dir/Kiv.INI"
  cd "$dir"
  start_kiv
  wait_for 60 output_has '^1 10 10 ' kivctl status ||
    fail "$name: Kiv.INI beside kiv.exe not read, window at: $(status)"
  pass "$name: Kiv.INI read from beside kiv.exe (status window top left)"

  # The options dialog's OK saves every key, into the same file.
  open_options_dialog
  [ "$(kivctl get TOptionForm "$idEdRedialCount" | tr -d '\r')" = 7 ] || fail "$name: dialog shows another RedialCount"
  kivctl set TOptionForm "$idEdRedialCount" 8  # a change, so that OK applies and saves
  kivctl click TOptionForm "$idBtOk"
  wait_for 60 grep -q KMSPortNo=51000 "$dir/Kiv.INI" || fail "$name: the save did not reach $dir/Kiv.INI"
  grep -q $'^StatusLocate=1\r$' "$dir/Kiv.INI" || fail "$name: saved file lost StatusLocate"
  grep -q $'^RedialCount=8\r$' "$dir/Kiv.INI" || fail "$name: the change was not saved"
  [ "$(grep -c '^\[Option\]' "$dir/Kiv.INI")" = 1 ] || fail "$name: sections: $(grep -c '^\[' "$dir/Kiv.INI")"
  [ ! -e "$RUN_DIR/Kiv.INI" ] || fail "$name: a Kiv.INI was written into the parent folder"
  [ -z "$(find "$RUN_DIR" -name '*.new')" ] || fail "$name: a temporary file was left behind"
  pass "$name: the options dialog's save went to $name/Kiv.INI, one [Option], no file in the parent"

  # The help page beside kiv.exe, its folder's name intact (as a path, or as a file URL in
  # UTF-8).
  url=file://$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$RUN_DIR/$name/Kiv.html")
  rm -f "$VIEWED"
  tray_menu_key h
  wait_for 60 test -s "$VIEWED" || fail "$name: the help page was not opened"
  grep -qxF -e "$RUN_DIR/$name/Kiv.html" -e "$url" "$VIEWED" || fail "$name: help opened as $(cat "$VIEWED")"
  pass "$name: the tray menu's help opens $(cat "$VIEWED")"

  stop_kiv
  [ "$(kiv_exit_code)" = 0 ] || fail "$name: exit code $(kiv_exit_code)"
done
