#!/usr/bin/env bash
# The status window under Wine: the welcome message fades in at the bottom-right corner (above
# the taskbar of Wine's desktop, or 10 pixels from the screen's corner when Wine shows no
# taskbar), shows its Japanese text (screenshots kept under the build tree), fades out by itself
# after its lifetime, and closes at once on a click.
. "$(dirname "$0")/lib.sh"
start_xvfb
new_run_dir
cd "$RUN_DIR"

welcome=$'-Welcome to Kiv-\r\r対象となるダイヤルアップ先が設定されていません。\rアイコンクリックでオプション画面を開くことができます。'
bytes=$(printf '%s' "$welcome" | iconv -f UTF-8 -t CP932 | wc -c)
lifetime_ms=$((1000 + 60 * bytes))

# "visible left top right bottom alpha exstyle" of the main window.
status() { kivctl status | tr -d '\r'; }
faded_in() { status | grep -q '^1 .* 200 [0-9a-f]*$'; }
hidden() { status | grep -q '^0 '; }
now_ms() { date +%s%3N; }

# 1. The welcome message: faded in to alpha 200, bottom right, above the taskbar.
start_kiv
wait_for 20 faded_in || fail "welcome message not faded in to alpha 200: $(status)"
shown_at=$(now_ms)
read -r visible left top right bottom alpha exstyle <<<"$(status)"
read -r -a taskbar <<<"$(kivctl taskbar | tr -d '\r')"
if [ "${taskbar[0]}" != none ] && [ "${taskbar[2]}" -gt "${taskbar[0]}" ] && [ "${taskbar[3]}" -gt "${taskbar[1]}" ]; then
  screen_w=${taskbar[4]}; floor=${taskbar[1]}
else
  # No taskbar on screen (Wine without its desktop): 10 pixels from the screen's corner.
  screen_w=${taskbar[-2]}; floor=${taskbar[-1]}
fi
[ "$right" = $((screen_w - 10)) ] || fail "right edge $right, expected $((screen_w - 10))"
[ "$bottom" = $((floor - 10)) ] || fail "bottom edge $bottom, expected $((floor - 10))"
[ $(((0x$exstyle & 0x80000) != 0)) = 1 ] || fail "not layered: $exstyle"
[ $(((0x$exstyle & 0x20) == 0)) = 1 ] || fail "transparent to clicks while shown: $exstyle"
pass "welcome message faded in to 200 at the bottom right ($left,$top)-($right,$bottom), taskbar: ${taskbar[*]}"

# 2. Screenshots: the whole screen and the window.
import -window root "$ARTIFACTS/status-welcome.png" || fail "no screenshot"
convert "$ARTIFACTS/status-welcome.png" -crop "$((right - left + 20))x$((bottom - top + 20))+$((left - 10))+$((top - 10))" \
  +repage "$ARTIFACTS/status-welcome-window.png" || fail "no window picture"
pass "screenshots: $ARTIFACTS/status-welcome.png, $ARTIFACTS/status-welcome-window.png"

# 3. It fades out by itself after its lifetime (${lifetime_ms} ms), not before.
wait_for 30 hidden || fail "welcome message did not close by itself"
visible_ms=$(($(now_ms) - shown_at))
[ "$visible_ms" -ge $((lifetime_ms - 2500)) ] || fail "closed after ${visible_ms} ms, lifetime ${lifetime_ms} ms"
read -r visible left top right bottom alpha exstyle <<<"$(status)"
[ "$alpha" -lt 200 ] || fail "hidden without fading out: alpha $alpha"
[ $(((0x$exstyle & 0x20) == 0)) = 1 ] || fail "still transparent to clicks after the fade-out: $exstyle"
pass "faded out by itself about ${visible_ms} ms after it was seen (lifetime ${lifetime_ms} ms)"
stop_kiv

# 4. A click on the window closes it at once.
start_kiv
wait_for 20 faded_in || fail "welcome message not shown again"
clicked_at=$(now_ms)
kivctl click 200 $(( (bottom - top) - 15 )) || fail "click not sent"
wait_for 5 hidden || fail "a click did not close the message: $(status)"
[ $(($(now_ms) - clicked_at)) -lt $((lifetime_ms - 1000)) ] || fail "closed only by its lifetime"
pass "a click on the window closes the message"
stop_kiv

# A click on the icon runs the message's action (here the options dialog, which comes with its
# own part) and closes the message too.
start_kiv
wait_for 20 faded_in || fail "welcome message not shown again"
kivctl click 24 24 || fail "click not sent"
wait_for 5 hidden || fail "a click on the icon did not close the message: $(status)"
pass "a click on the icon closes the message"
stop_kiv
[ "$(kiv_exit_code)" = 0 ] || fail "exit code $(kiv_exit_code)"

# 5. Inside Wine's own desktop, which has a taskbar along the bottom: the window sits 10 pixels
#    above it. The driver runs in the same desktop to see the windows.
desk_ctl() { "$KIV_WINE" "$KIVCTL" --desktop kiv "$@"; }
desk_status() { desk_ctl status | tr -d '\r'; }
# Placed: moved from where the window was created (0,0) into its corner; it keeps that place
# after the message has gone, so a slow driver cannot miss it.
desk_placed() { desk_status | grep -q '^[01] [1-9][0-9]* [1-9][0-9]* '; }
( timeout 150 "$KIV_WINE" explorer /desktop=kiv,1024x768 kiv.exe ) &
E2E_PIDS+=($!)
wait_for 90 desk_placed || fail "no welcome message in Wine's desktop"
import -window root "$ARTIFACTS/status-desktop.png" || fail "no screenshot"
read -r visible left top right bottom alpha exstyle <<<"$(desk_status)"
read -r tl tt tr tb sw sh <<<"$(desk_ctl taskbar | tr -d '\r')"
[ -n "$sh" ] && [ "$tt" -gt 0 ] && [ "$tb" = "$sh" ] && [ $((tr - tl)) -ge "$sw" ] || fail "no taskbar along the bottom: $tl $tt $tr $tb"
[ "$right" = $((sw - 10)) ] && [ "$bottom" = $((tt - 10)) ] ||
  fail "window ($left,$top)-($right,$bottom), taskbar top $tt"
pass "in Wine's desktop the message sits 10 pixels above the taskbar ($tl,$tt)-($tr,$tb): $ARTIFACTS/status-desktop.png"
desk_ctl close || fail "could not close the main window in Wine's desktop"
