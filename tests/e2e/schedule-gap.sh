# shellcheck shell=bash disable=SC2034  # the messages: read by the tests that source this
# Sourced by the tests of the schedule over a gap (after lib.sh): kiv.exe is held (SIGSTOP) from
# before a scheduled time to after it, as a sleeping computer holds it, and let go (SIGCONT) with
# the messages the system sends on waking, or on a clock change, queued for it. Kiv's clock is
# placed through its time zone, so that a scheduled time comes LEAD seconds after the start; Wine
# gives a running program no other clock, so a clock set forward is the same gap, told by
# WM_TIMECHANGE. A start-up slower than the lead is tried again with twice the lead.
WM_POWERBROADCAST=0x218
PBT_APMRESUMESUSPEND=7
PBT_APMRESUMEAUTOMATIC=18
WM_TIMECHANGE=0x1E

# tz_for HH MM LEAD: a time zone whose clock shows HH:MM less LEAD seconds now.
tz_for() {
  local now want diff sign=-
  now=$(($(date -u +%s) % 86400))
  want=$((10#$1 * 3600 + 10#$2 * 60 - $3))
  diff=$(((want - now + 2 * 86400) % 86400))
  [ $diff -gt 43200 ] && diff=$((diff - 86400))
  [ $diff -lt 0 ] && { sign=+; diff=$((-diff)); }
  printf 'KIV%s%d:%02d:%02d' "$sign" $((diff / 3600)) $((diff % 3600 / 60)) $((diff % 60))
}
# epoch_of HH:MM:SS TZ: the next moment (from a minute ago) the clock of TZ shows that time.
epoch_of() {
  local at
  at=$(TZ=$2 date -d "$1" +%s)
  [ "$at" -ge $(($(date +%s) - 60)) ] || at=$((at + 86400))
  echo "$at"
}
clock_at_or_past() { [ "$(date +%s)" -ge "$1" ]; }  # clock_at_or_past EPOCH
# kiv_pid: the Unix process of kiv.exe in this test's Wine session.
kiv_pid() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(cat "$p/comm" 2>/dev/null)" = kiv.exe ] || continue
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && { echo "${p#/proc/}"; return 0; }
  done
  return 1
}
process_stopped() { grep -q '^State:.*T (stopped)' "/proc/$1/status"; }  # process_stopped PID

# start_before HH:MM:SS READY [VARIABLE=VALUE...]: kiv.exe started with its clock LEAD s before
# HH:MM:SS, LEAD 40 s at first; once READY (a command) holds, kiv.exe is held. A start-up that
# leaves less than 5 s before the time is ended and tried again with twice the lead. Sets KIV_TZ,
# KIV_PID and DUE (the moment of HH:MM:SS).
start_before() {
  local at=$1 ready=$2 lead
  shift 2
  for lead in 40 80 160; do
    KIV_TZ=$(tz_for "${at%%:*}" "$(cut -d: -f2 <<<"$at")" $((lead - 10#${at##*:})))
    DUE=$(epoch_of "$at" "$KIV_TZ")
    start_kiv TZ="$KIV_TZ" "$@"
    wait_for 120 "$ready" || fail "kiv.exe with its clock at $at less $lead s: not ready ($ready)"
    KIV_PID=$(kiv_pid) || fail "no kiv.exe process in this session"
    kill -STOP "$KIV_PID"
    wait_for 30 process_stopped "$KIV_PID" || fail "kiv.exe ($KIV_PID) was not held"
    [ "$(date +%s)" -lt $((DUE - 5)) ] && return 0
    echo "start-up with a lead of $lead s came too close to $at: again with more" >&2
    kill -CONT "$KIV_PID"
    stop_kiv
  done
  fail "kiv.exe never started 5 s before $at"
}
# resume_after SECONDS MESSAGE WPARAM...: once the clock is SECONDS past DUE, each MESSAGE WPARAM
# pair queued for kiv.exe's main window, and kiv.exe let go.
resume_after() {
  local until=$((DUE + $1))
  shift
  wait_for $((until - $(date +%s) + 120)) clock_at_or_past "$until" || fail "the clock did not reach $until"
  while [ $# -ge 2 ]; do
    kivctl post "$1" "$2" 0 || fail "message $1 $2 not queued for kiv.exe"
    shift 2
  done
  kill -CONT "$KIV_PID"
}
# log_text: Kiv.log in UTF-8; log_has TEXT: a line of it holds TEXT.
log_text() { iconv -f CP932 -t UTF-8 Kiv.log 2>/dev/null || true; }
log_has() { log_text | grep -F -- "$1" >/dev/null; }
# log_second TEXT: the time of day, in seconds, of the first line holding TEXT.
log_second() {
  local t
  t=$(log_text | grep -F -- "$1" | head -n1 | cut -d' ' -f2)
  [ -n "$t" ] || return 1
  echo $((10#${t%%:*} * 3600 + 10#$(cut -d: -f2 <<<"$t") * 60 + 10#${t##*:}))
}
