#!/bin/sh
# Two consoles on one private network see each other log in and out; a menu question to a
# console that offers none is answered with MENU_NOTHING. Run through run-in-netns.sh.
# Usage: consoles.sh [KMCONSOLE]; or the two commands in KM_A and KM_B (each may start a
# Windows build through wine-exe.sh). B's command defaults to A's. A is ended with SIGTERM
# once B is done, or, when KM_A_WAIT is set (a Windows A under Wine takes no signals), after
# that many seconds.
set -eu
a=${KM_A:-$1}
b=${KM_B:-$a}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
common="--script --address 127.0.0.1 --port 51888"
# shellcheck disable=SC2086  # the commands and the options as words
$a $common --handle Alice --machine PCA --wait "${KM_A_WAIT:-60}" >"$out/a" &
apid=$!
# B logs in once A is logged in, so that A sees B's LOGIN however long A takes to start.
i=0
until grep -q '^READY' "$out/a" 2>/dev/null || [ $i -ge 1200 ]; do sleep 0.1; i=$((i + 1)); done
# shellcheck disable=SC2086  # the commands and the options as words
$b $common --handle 太郎 --machine PCB --disc KMB --wait 60 --menu PCA --menu-disc KMC --until-done >"$out/b"
if [ -z "${KM_A_WAIT:-}" ]; then
  sleep 0.5
  kill -TERM $apid
fi
wait $apid || true
fail=0
expect() { grep -qxF "$2" "$out/$1" || { echo "missing in $1: $2"; fail=1; }; }
tab=$(printf '\t')
expect a "LOGIN${tab}太郎${tab}PCB${tab}127.0.0.1${tab}KMB"
expect a "LOGOUT${tab}太郎${tab}PCB${tab}127.0.0.1${tab}KMB"
expect a "STOPPED"
expect b "LOGIN${tab}Alice${tab}PCA${tab}127.0.0.1${tab}KMC"
expect b "MENU_NOTHING${tab}Alice${tab}PCA${tab}KMC"
[ $fail = 0 ] || { echo "== a"; cat "$out/a"; echo "== b"; cat "$out/b"; }
exit $fail
