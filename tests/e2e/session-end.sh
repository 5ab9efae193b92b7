#!/usr/bin/env bash
# The session ends (wineboot --end-session: WM_QUERYENDSESSION, then WM_ENDSESSION, then the
# process is ended) while Kiv holds a line up with "disconnect at exit" set. With a service that
# never confirms the hang-up Kiv hangs up once, gives up waiting within its limit and goes, and
# Kiv.log says the hang-up was not confirmed and how long Kiv waited; with one that releases the
# line after half a second Kiv goes once it has, and the log says so. Each case in a Wine session
# of its own: the end of the session ends its programs.
. "$(dirname "$0")/lib.sh"
start_session
# log_has TEXT: Kiv.log (Shift-JIS) has a line holding TEXT.
log_has() { iconv -f CP932 -t UTF-8 Kiv.log 2>/dev/null | grep -F -- "$1" >/dev/null; }
log_line() { iconv -f CP932 -t UTF-8 Kiv.log 2>/dev/null | grep -F -- "$1" | tail -n1; }
connected() { output_has '"Alpha" state=8192' rassimctl list; }

first=1
for hangup in never 500; do
  [ -n "$first" ] || restart_session
  first=
  [ -z "${RUN_DIR:-}" ] || rm -rf "$RUN_DIR"
  new_run_dir
  cd "$RUN_DIR"
  add_simulator
  printf '[Option]\r\nTarget=Alpha\r\nAutoConnectRun=1\r\nAutoDisconnectEnd=1\r\n' >Kiv.INI
  printf '[Alpha]\ndial = connect 500\nhangup = %s\n' "$hangup" >rassim.txt
  start_kiv
  wait_for 120 connected || fail "hang-up $hangup: the line did not come up: $(rassimctl list)"
  started=$SECONDS
  "$KIV_WINE" wineboot --end-session || fail "hang-up $hangup: wineboot --end-session failed"
  wait_for 120 kiv_ended || fail "hang-up $hangup: kiv.exe did not end with the session"
  took=$((SECONDS - started))
  [ "$(kiv_exit_code)" = 0 ] || fail "hang-up $hangup: exit code $(kiv_exit_code)"
  [ "$(call_log | grep -ac 'RasHangUpA handle=0x1001')" = 1 ] || fail "hang-up $hangup: not hung up once: $(call_log)"
  log_has "Windowsの終了（サインアウトか再起動）を受けました。" || fail "hang-up $hangup: the log has no session end"
  if [ "$hangup" = never ]; then
    log_has "」を切断しましたが、" || fail "no unconfirmed hang-up in the log: $(iconv -f CP932 -t UTF-8 Kiv.log)"
    # Kiv's own count of its wait: within the four seconds it allows itself.
    waited=$(log_line "」を切断しましたが、" | sed -n 's/.*しましたが、\([0-9]*\)\.[0-9]秒のうちに.*/\1/p')
    [ -n "$waited" ] && [ "$waited" -lt 5 ] || fail "waited ${waited:-?} s for the hang-up: $(log_line 切断)"
  else
    output_has 'RasGetConnectStatusA handle=0x1001 .*-> 6' call_log || fail "the release was not seen: $(call_log)"
    log_has "」を切断しました（" || fail "no confirmed hang-up in the log: $(iconv -f CP932 -t UTF-8 Kiv.log)"
  fi
  log_has "Kivを終了しました。" || fail "hang-up $hangup: the log has no exit"
  pass "hang-up $hangup: hung up once, gone with the session within ${took} s of wineboot's start; log: $(log_line 切断)"
done
