#!/usr/bin/env bash
# The computer sleeps across a scheduled disconnect at 12:00 with "shut down after it" set, as a
# line is up: kiv.exe is held from before the warning's time (11:59:50) to 20 s after the end
# time, then told it resumed (the automatic resume and the user's, as Windows sends them). The
# warning comes at once, the hang-up ten seconds later, once, then the shutdown; Kiv.log says
# both came late because the computer slept.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/schedule-gap.sh"
start_session
new_run_dir
cd "$RUN_DIR"
add_simulator
printf '[Alpha]\ndial = connect 500\n' >rassim.txt
printf '[Option]\r\nTarget=Alpha\r\nAutoConnectRun=1\r\nAutoEnd=1\r\nAutoEndHour=12\r\nAutoEndMinute=0\r\nAutoDisconnectTimeReset=1\r\n' >Kiv.INI
connected() { output_has '"Alpha" state=8192' rassimctl list; }
hung_up() { output_has RasHangUpA call_log; }
warning="スケジュールにより、10秒後に「Alpha」から切断し、Windowsを終了します。"

start_before 11:59:50 connected
resume_after 30 $WM_POWERBROADCAST $PBT_APMRESUMEAUTOMATIC $WM_POWERBROADCAST $PBT_APMRESUMESUSPEND
wait_for 120 log_has "$warning" || fail "no warning after the resume: $(log_text)"
wait_for 120 hung_up || fail "no scheduled hang-up after the warning: $(log_text)"
wait_for 120 kiv_ended || fail "no shutdown after the scheduled disconnect: $(log_text)"
[ "$(call_log | grep -ac RasHangUpA)" = 1 ] || fail "not hung up once: $(call_log | grep -a RasHangUpA)"
[ "$(log_text | grep -cF "$warning")" = 1 ] || fail "not warned once: $(log_text)"
log_has "[スケジュール] 切断の予告（11:59:50）を" || fail "the log does not say the warning was late: $(log_text)"
log_has "[スケジュール] 予定の切断（12:00:00）を" || fail "the log does not say the disconnect was late: $(log_text)"
[ "$(log_text | grep -c 'コンピュータがスリープしていたためです。')" = 2 ] || fail "the log does not say why: $(log_text)"
warned=$(log_second "$warning") && gone=$(log_second "から切断しました。") || fail "no disconnect in the log: $(log_text)"
# Ten seconds after the warning, as the log's whole seconds show it.
[ $((gone - warned)) -ge 9 ] || fail "hung up $((gone - warned)) s after the warning"
pass "held over 12:00: warned on resume, hung up $((gone - warned)) s later, once, then shut down; log: $(log_text | grep -F '[スケジュール]' | cut -d' ' -f4- | tr '\n' ' ')"
