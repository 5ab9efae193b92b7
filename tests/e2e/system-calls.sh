#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# What kiv.exe asks of the system, read from Wine's relay trace of a few calls, in a private
# network namespace: the authorised computers dialog's image list has one owner, which destroys
# it once, successfully, after the list view is gone; the 1 ms system timer is asked for only
# while KestrelMesh is logged in, and given back when it logs out.
. "$(dirname "$0")/lib.sh"
e2e_in_netns
start_session
new_run_dir
cd "$RUN_DIR"
# The namespace's own prefix: only these calls are traced.
"$KIV_WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /f \
  /d 'comctl32.ImageList_Destroy;winmm.timeBeginPeriod;winmm.timeEndPeriod' >/dev/null 2>&1 ||
  fail "the relay trace could not be set up"

# traced_kiv TRACE: kiv.exe with the relay trace going to the file TRACE, until its main window.
traced_kiv() {
  KIV_RC=$RUN_DIR/kiv.rc
  rm -f "$KIV_RC"
  ( WINEDEBUG=+relay "$KIV_WINE" kiv.exe 2>"$1"; echo $? >"$KIV_RC" ) &
  wait_for 240 kivctl running || fail "kiv.exe did not start"
}
# calls TRACE NAME [ARGUMENT]: how many calls of NAME (with that argument) the trace holds.
calls() { grep -c "Call ${2//./\\.}(${3:-}" "$1" || true; }
# returns TRACE NAME: the values NAME returned, one a line.
returns() { sed -n "s/.*Ret  ${2//./\\.}(.*retval=\([0-9a-f]*\).*/\1/p" "$1"; }

# 1. KestrelMesh off: the options dialog and its authorised computers dialog, opened and closed.
traced_kiv off.trace
open_options_dialog
kivctl click TOptionForm "$idRbKMSLogin"  # the computers button becomes usable
kivctl click TOptionForm "$idBtKMSComputerCount"
wait_for 20 kivctl form TOptionUserForm || fail "the computers dialog did not open"
kivctl click TOptionUserForm "$idUserBtCancel"
wait_for 10 form_gone TOptionUserForm || fail "the computers dialog did not close"
kivctl click TOptionForm "$idBtCancel"
wait_for 10 form_gone TOptionForm || fail "the options dialog did not close"
stop_kiv
cp off.trace "$ARTIFACTS/system-calls-off.trace"
[ "$(calls off.trace comctl32.ImageList_Destroy)" -ge 1 ] || fail "no image list destroyed: is the trace on?"
[ "$(returns off.trace comctl32.ImageList_Destroy | sort -u)" = 00000001 ] ||
  fail "ImageList_Destroy failed (a list destroyed twice): $(grep ImageList_Destroy off.trace)"
pass "the computers dialog's image list: $(calls off.trace comctl32.ImageList_Destroy) destroy, successful"
[ "$(calls off.trace winmm.timeBeginPeriod)" = 0 ] || fail "timeBeginPeriod without KestrelMesh: $(grep timeBeginPeriod off.trace)"
pass "KestrelMesh off: no 1 ms system timer asked for"

# 2. KestrelMesh logged in: the 1 ms timer from the login to the logout, once.
printf '[Option]\r\nKMSLogin=1\r\n' >Kiv.INI
traced_kiv on.trace
wait_for 30 shows 'KestrelMeshにログインしました' || fail "no KestrelMesh login: $(kivctl text)"
[ "$(calls on.trace winmm.timeBeginPeriod 00000001)" = 1 ] || fail "logged in: $(grep -E 'time(Begin|End)Period' on.trace)"
[ "$(calls on.trace winmm.timeEndPeriod)" = 0 ] || fail "the 1 ms timer given back while logged in"
stop_kiv
cp on.trace "$ARTIFACTS/system-calls-on.trace"
[ "$(calls on.trace winmm.timeBeginPeriod)" = 1 ] && [ "$(calls on.trace winmm.timeEndPeriod 00000001)" = 1 ] ||
  fail "after the logout: $(grep -E 'time(Begin|End)Period' on.trace)"
pass "KestrelMesh logged in: timeBeginPeriod(1) once at the login, timeEndPeriod(1) once at the logout"
