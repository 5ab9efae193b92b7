#!/usr/bin/env bash
# The computer sleeps across a scheduled connect at 23:59: kiv.exe is held from before it to
# 00:00:20, then told it resumed. The connect passed in the sleep is made once, on the resume,
# across midnight; Kiv.log says it came late because the computer slept; no later tick dials
# again.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/schedule-gap.sh"
start_session
new_run_dir
cd "$RUN_DIR"
add_simulator
printf '[Alpha]\ndial = connect 500\n' >rassim.txt
printf '[Option]\r\nTarget=Alpha\r\nAutoStart=1\r\nAutoStartHour=23\r\nAutoStartMinute=59\r\n' >Kiv.INI
welcomed() { log_has "Welcome to Kiv"; }
connected() { output_has '"Alpha" state=8192' rassimctl list; }
dials() { call_log | grep -ac 'RasDialA '; }

start_before 23:59:00 welcomed
[ "$(dials)" = 0 ] || fail "dialled before the scheduled time: $(call_log)"
resume_after 80 $WM_POWERBROADCAST $PBT_APMRESUMEAUTOMATIC $WM_POWERBROADCAST $PBT_APMRESUMESUSPEND
wait_for 120 connected || fail "no dial after the resume: $(log_text)"
log_has "スケジュールにより、「Alpha」へのダイヤルアップを開始します。" || fail "no scheduled dial message: $(log_text)"
log_has "[スケジュール] 予定の接続（23:59:00）を" || fail "the log does not say the connect was late: $(log_text)"
log_has "遅れて行いました。コンピュータがスリープしていたためです。" || fail "the log does not say why: $(log_text)"
# Later ticks: the status window's clock runs on past the resume, and still one dial.
resumed_at=$(log_second "コンピュータがスリープから復帰しました。") || fail "no resume in the log: $(log_text)"
ticked() { kivctl post "$WM_TIMECHANGE" 0 0 && [ "$(log_text | grep -c '時計が変更されました。')" -ge 1 ]; }
wait_for 60 ticked || fail "no tick after the resume"
[ "$(dials)" = 1 ] || fail "dialled $(dials) times: $(call_log | grep -a RasDialA)"
stop_kiv
pass "held over 23:59 to 00:00:20: dialled once on the resume (at $resumed_at s of the day); log: $(log_text | grep -F '[スケジュール]' | cut -d' ' -f4- | tr '\n' ' ')"
