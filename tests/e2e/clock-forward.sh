#!/usr/bin/env bash
# The clock is set forward over a scheduled connect at 07:00 and a scheduled disconnect at 07:01
# while no line is up: kiv.exe is held from before 07:00 to 07:01:20, then told the clock changed
# (WM_TIMECHANGE), as the system tells it. Only the later of the two times passed decides:
# nothing is dialled only to be hung up, and Kiv.log says the connect was left and why. A
# scheduled connect passed alone the same way is made once, and the log says the clock moved.
# Wine cannot set a running program's clock back; that the schedule repeats nothing then is
# shown by the unit tests.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/schedule-gap.sh"
start_session
welcomed() { log_has "Welcome to Kiv"; }
connected() { output_has '"Alpha" state=8192' rassimctl list; }
dials() { call_log | grep -ac 'RasDialA '; }
ticked() { kivctl post "$WM_TIMECHANGE" 0 0 && [ "$(log_text | grep -c '時計が変更されました。')" -ge "$1" ]; }

# Both passed: the disconnect decides, with no line up: no dial.
new_run_dir
cd "$RUN_DIR"
add_simulator
printf '[Alpha]\ndial = connect 500\n' >rassim.txt
printf '[Option]\r\nTarget=Alpha\r\nAutoStart=1\r\nAutoStartHour=7\r\nAutoStartMinute=0\r\nAutoEnd=1\r\nAutoEndHour=7\r\nAutoEndMinute=1\r\n' >Kiv.INI
start_before 07:00:00 welcomed
resume_after 80 $WM_TIMECHANGE 0
wait_for 120 log_has "予定の接続（07:00:00）は行いませんでした。" || fail "the log does not say the connect was left: $(log_text)"
wait_for 60 ticked 2 || fail "no tick after the clock change"
[ "$(dials)" = 0 ] || fail "dialled over a gap the disconnect closes: $(call_log | grep -a RasDialA)"
log_has "時計が変更されました。" || fail "the log does not say the clock changed: $(log_text)"
! log_has "遅れて行いました" || fail "the log says a step was taken with no line up: $(log_text)"
stop_kiv
pass "07:00 and 07:01 passed in one clock change: no dial; log: $(log_text | grep -F '[スケジュール]' | cut -d' ' -f4- | tr '\n' ' ')"

# The connect alone: made once.
rm -rf "$RUN_DIR"
new_run_dir
cd "$RUN_DIR"
add_simulator
printf '[Alpha]\ndial = connect 500\n' >rassim.txt
printf '[Option]\r\nTarget=Alpha\r\nAutoStart=1\r\nAutoStartHour=7\r\nAutoStartMinute=0\r\n' >Kiv.INI
start_before 07:00:00 welcomed
resume_after 20 $WM_TIMECHANGE 0
wait_for 120 connected || fail "no dial after the clock change: $(log_text)"
log_text | grep -F "[スケジュール] 予定の接続（07:00:00）を" | grep -F "秒遅れて行いました。時計が進められたためです。" >/dev/null ||
  fail "the log does not say the connect was late: $(log_text)"
wait_for 60 ticked 2 || fail "no tick after the dial"
[ "$(dials)" = 1 ] || fail "dialled $(dials) times: $(call_log | grep -a RasDialA)"
stop_kiv
pass "07:00 passed in a clock change: dialled once; log: $(log_text | grep -F '[スケジュール]' | cut -d' ' -f4- | tr '\n' ' ')"
