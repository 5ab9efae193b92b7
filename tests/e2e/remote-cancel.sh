#!/usr/bin/env bash
# A cancel the dial-up service never confirms stays a cancel. kiv.exe under Wine, the rasapi32
# simulator and a native console, in one private network namespace. The line would connect
# only after 20 s, its hang-up is never released and the simulator says nothing of a cancelled
# dial (as the documented service does); Redial is on, 3 redials 2 s apart. A console connects,
# then disconnects 2 s later: after Kiv's wait for the release it is told the dial was
# cancelled, never that it failed, and no second dial appears in the simulator's call log
# within 90 s of the first.
# Argument: the Windows build tree.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: $0 WINDOWS_BUILD_DIR}" && pwd)
if [ -z "${KIV_REMOTE_IN_NETNS:-}" ]; then
  native=$top/build/native/tools/kmconsole/kmconsole
  [ -x "$native" ] || cmake --build "$top/build/native" --target kmconsole >/dev/null
  export KIV_REMOTE_IN_NETNS=1 KMCONSOLE=$native
  exec sh "$top/tests/mesh/wine-netns.sh" "$build" bash "$0" "$build"
fi

# Inside the namespace, with a prefix of its own that lib.sh must not replace.
netns_prefix=$WINEPREFIX
. "$top/tests/e2e/lib.sh"
export WINEPREFIX=$netns_prefix
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"
ip -o addr show lo | grep 'inet 127' >/dev/null || fail "not in the private namespace"

start_xvfb
new_run_dir
cp "$BUILD/tools/rassim/rasapi32.dll" "$BUILD/tools/rassim/rassimctl.exe" "$RUN_DIR/"
printf '[Line]\ndial = connect 20000\nhangup = never\ncancel = silent\n' >"$RUN_DIR/rassim.txt"
cd "$RUN_DIR"
OUT=$RUN_DIR/out
mkdir -p "$OUT"
tab=$'\t'

console() { # console NAME MACHINE ARGS...: a console in the background, its lines in $OUT/NAME
  local name=$1 machine=$2
  shift 2
  "$KMCONSOLE" --script --address 127.0.0.1 --machine "$machine" --handle "$name" "$@" >"$OUT/$name" 2>&1 &
  E2E_PIDS+=($!)
}
seen() { grep -qxF -- "$2" "$OUT/$1"; }
final() { printf 'INPUT_MESSAGE\t【Kiv KestrelMesh Message】\\r\\n\\r\\n%s\t%s\tKiv' "$1" "$KIV_MACHINE"; }
dials() { "$KIV_WINE" rassimctl.exe log | grep -c 'RasDialA .*entry="Line"' || true; }

printf '[Option]\r\nTarget=Line\r\nRedial=1\r\nRedialCount=3\r\nRedialInterval=2\r\nKMSLogin=1\r\n' >Kiv.INI
console watch WATCH --wait 200
( "$KIV_WINE" kiv.exe; echo $? >"$RUN_DIR/kiv.rc" ) &
wait_for 60 kivctl running || fail "main window did not appear"
wait_for 30 grep -q "^LOGIN${tab}Kiv${tab}.*${tab}Kiv\$" "$OUT/watch" || fail "Kiv did not log in to KestrelMesh"
KIV_MACHINE=$(grep "^LOGIN${tab}Kiv${tab}" "$OUT/watch" | head -n1 | cut -f3)

console dialler PCA --menu "$KIV_MACHINE" --answer '#1' --wait 150
wait_for 20 seen dialler "$(final '「Line」への接続処理を開始します。\r\n接続処理が完了次第、処理結果を通知します。')" ||
  { cat "$OUT/dialler"; fail "the remote dial did not start"; }
dialled_at=$SECONDS
[ "$(dials)" = 1 ] || fail "expected one RasDialA: $("$KIV_WINE" rassimctl.exe log)"
pass "the console's dial started"

sleep 2
console canceller PCA --menu "$KIV_MACHINE" --answer '#2' --wait 60
cancelled=$(final 'ユーザの指示により、「Line」への接続処理がキャンセルされました。')
failed=$(final '「Line」への接続に失敗しました。')
# Kiv waits up to 30 s for the hang-up's release before it ends the dial itself.
wait_for 50 seen dialler "$cancelled" || { cat "$OUT/dialler"; fail "the console was not told the dial was cancelled"; }
pass "the console is told the dial was cancelled"

while [ $((SECONDS - dialled_at)) -lt 90 ]; do
  [ "$(dials)" = 1 ] || fail "a second dial after the cancel: $("$KIV_WINE" rassimctl.exe log | grep RasDialA)"
  sleep 3
done
seen dialler "$failed" && fail "the console was told the dial failed"
seen canceller "$failed" && fail "the cancelling console was told the dial failed"
"$KIV_WINE" "$KIVCTL" text | tr '\r' '|' | grep -q '失敗' && fail "a failure on screen: $("$KIV_WINE" "$KIVCTL" text)"
pass "no failure text and no redial within 90 s of the dial"

kivctl close
wait_for 60 test -f "$RUN_DIR/kiv.rc" || fail "kiv.exe did not end"
pass "kiv.exe ends with the hang-up never released"
