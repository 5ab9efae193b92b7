#!/usr/bin/env bash
# The status window under Wine: the welcome message fades in at the bottom-right corner (above
# the taskbar of Wine's desktop, or 10 pixels from the screen's corner when Wine shows no
# taskbar), shows its Japanese text (screenshots kept under the build tree), fades out by itself,
# closes on a click on its text, and runs its action on a click on its icon. When a message
# closes and how it fades is the unit tests' to show, in virtual time (StatusQueue); here the
# window's events reach them.
. "$(dirname "$0")/lib.sh"
# Wide enough for the message naming a phonebook entry of 250 characters (below).
start_session 2048x768x24
new_run_dir
cd "$RUN_DIR"

# "visible left top right bottom alpha exstyle" of the main window.
status() { kivctl status | tr -d '\r'; }
faded_in() { status | grep -q '^1 .* 200 [0-9a-f]*$'; }
hidden() { status | grep -q '^0 '; }
not_welcome() { ! shows 'Welcome'; }

# 1. The welcome message: faded in to alpha 200, bottom right, above the taskbar.
start_kiv
wait_for 60 faded_in || fail "welcome message not faded in to alpha 200: $(status)"
read -r _ left top right bottom alpha exstyle <<<"$(status)"
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
steady_shot "$ARTIFACTS/status-welcome.png"
convert "$ARTIFACTS/status-welcome.png" -crop "$((right - left + 20))x$((bottom - top + 20))+$((left - 10))+$((top - 10))" \
  +repage "$ARTIFACTS/status-welcome-window.png" || fail "no window picture"
pass "screenshots: $ARTIFACTS/status-welcome.png, $ARTIFACTS/status-welcome-window.png"

# 3. It fades out by itself.
wait_for 120 hidden || fail "welcome message did not close by itself: $(status)"
read -r _ _ _ _ _ alpha exstyle <<<"$(status)"
[ "$alpha" -lt 200 ] || fail "hidden without fading out: alpha $alpha"
[ $(((0x$exstyle & 0x20) == 0)) = 1 ] || fail "still transparent to clicks after the fade-out: $exstyle"
pass "faded out by itself (alpha $alpha when hidden)"
stop_kiv

# 4. A message that would stay on screen for over 20 s (its lifetime grows with its text: here
#    the welcome names a long phonebook entry): a click on its text closes it well before, and a
#    click on its icon runs its action, the dial, and closes it too.
add_simulator
entry="Line $(printf 'x%.0s' $(seq 245))"
printf '[%s]\ndial = refuse 633\n' "$entry" >rassim.txt
printf '[Option]\r\nTarget=%s\r\n' "$entry" >Kiv.INI
start_kiv
wait_for 60 faded_in || fail "welcome message naming the entry not shown: $(status)"
read -r _ left top right bottom _ <<<"$(status)"
kivctl click 200 $(( (bottom - top) - 15 )) || fail "click not sent"
wait_for 10 hidden || fail "a click on the text did not close the message: $(status)"
! output_has RasDialA call_log || fail "a click on the text dialled"
pass "a click on the window's text closes the message"
stop_kiv

start_kiv
wait_for 60 faded_in || fail "welcome message naming the entry not shown again: $(status)"
kivctl click 24 24 || fail "click not sent"
wait_for 60 output_has 'RasDialA .*entry="Line x' call_log || fail "a click on the icon did not dial"
wait_for 10 not_welcome || fail "a click on the icon did not close the message: $(kivctl text)"
pass "a click on the icon runs the message's action (the dial) and closes the message"
stop_kiv
[ "$(kiv_exit_code)" = 0 ] || fail "exit code $(kiv_exit_code)"

# 5. Inside Wine's own desktop, which has a taskbar along the bottom: the window sits 10 pixels
#    above it. The driver runs in the same desktop to see the windows.
desk_ctl() { kivctl --desktop kiv "$@"; }
desk_status() { desk_ctl status | tr -d '\r'; }
# Placed: moved from where the window was created (0,0) into its corner; it keeps that place
# after the message has gone, so a slow driver cannot miss it.
desk_placed() { desk_status | grep -q '^[01] [1-9][0-9]* [1-9][0-9]* '; }
rm -f rassim.txt Kiv.INI rasapi32.dll
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES%;rasapi32=n}
( timeout 600 "$KIV_WINE" explorer /desktop=kiv,1024x768 kiv.exe ) &
E2E_PIDS+=($!)
wait_for 180 desk_placed || fail "no welcome message in Wine's desktop"
steady_shot "$ARTIFACTS/status-desktop.png"
read -r _ left top right bottom _ <<<"$(desk_status)"
read -r tl tt tr tb sw sh <<<"$(desk_ctl taskbar | tr -d '\r')"
[ -n "$sh" ] && [ "$tt" -gt 0 ] && [ "$tb" = "$sh" ] && [ $((tr - tl)) -ge "$sw" ] || fail "no taskbar along the bottom: $tl $tt $tr $tb"
[ "$right" = $((sw - 10)) ] && [ "$bottom" = $((tt - 10)) ] ||
  fail "window ($left,$top)-($right,$bottom), taskbar top $tt"
pass "in Wine's desktop the message sits 10 pixels above the taskbar ($tl,$tt)-($tr,$tb): $ARTIFACTS/status-desktop.png"
desk_ctl close || fail "could not close the main window in Wine's desktop"
