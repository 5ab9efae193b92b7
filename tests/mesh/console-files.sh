#!/bin/sh
# Two consoles move files over TCP: one receives into a folder, the other sends with
# send-file; a Japanese name arrives under its own name, and a device name is refused, which
# the sender sees as the receiver closing (error 1). Run through run-in-netns.sh.
# Usage: console-files.sh [KMCONSOLE]; or the receiver's and the sender's commands in KM_RX
# and KM_TX (each may start a Windows build through wine-exe.sh). A Windows program spells
# the folders with a drive: KM_RX_DRIVE / KM_TX_DRIVE ("Z:" under Wine) go before the paths,
# and KM_RX_SEP is the receiver's separator between folder and name as the script lines
# escape it ("\\" on Windows). KM_NO_REFUSAL=1 leaves out the device name, which a Windows
# sender cannot even open.
set -eu
rx=${KM_RX:-$1}
tx=${KM_TX:-$rx}
work=$(mktemp -d "${TMPDIR:-/tmp}/kmfiles.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/out"
rxdir=${KM_RX_DRIVE:-}$work/in
txdir=${KM_TX_DRIVE:-}$work/out
sep=${KM_RX_SEP:-/}
head -c 300000 /dev/urandom >"$work/out/表 data.bin"
printf 'device' >"$work/out/CON.txt"
# Split into words where it is used.
common="--script --address 127.0.0.1 --port 51889"
fail=0
tab=$(printf '\t')
expect() { grep -qxF "$2" "$work/$1" || { echo "missing in $1: $2"; fail=1; }; }

# A good file, then a refused one; the receiver stops after each.
files="表 data.bin"
[ -n "${KM_NO_REFUSAL:-}" ] || files="$files:CON.txt"
IFS=:
for f in $files; do
  unset IFS
  # shellcheck disable=SC2086  # the commands and the options as words
  $rx $common --handle 受信 --machine PCR --ftp-port 52189 receive "$rxdir" --until-done --wait 120 >"$work/rx" &
  rxpid=$!
  # The sender starts once the receiver listens (it says READY then), however long its start.
  i=0
  until grep -q '^READY' "$work/rx" 2>/dev/null; do
    [ $i -lt 1200 ] || { echo "the receiver did not start within 2 minutes"; cat "$work/rx"; exit 1; }
    sleep 0.1
    i=$((i + 1))
  done
  rc=0
  # shellcheck disable=SC2086  # the commands and the options as words
  $tx $common --handle 送信 --machine PCS --disc KMS send-file PCR "$txdir/$f" "ファイルです" \
    --until-done --wait 60 >"$work/tx" || rc=$?
  wait $rxpid || true
  if [ "$f" = "CON.txt" ]; then
    expect rx "RECV_REFUSED${tab}送信${tab}PCS${tab}KMS${tab}CON.txt"
    expect tx "SEND_ERROR${tab}1${tab}closed by the receiver${tab}受信${tab}PCR${tab}KMC${tab}$txdir/CON.txt"
    [ $rc = 1 ] || { echo "sender exit $rc after a refusal"; fail=1; }
    [ ! -e "$work/in/CON.txt" ] || { echo "refused file written"; fail=1; }
  else
    expect rx "RECV_START${tab}送信${tab}PCS${tab}KMS${tab}$f${tab}300000${tab}ファイルです"
    expect rx "RECV_END${tab}送信${tab}PCS${tab}KMS${tab}$rxdir$sep$f"
    expect tx "SEND_START${tab}受信${tab}PCR${tab}KMC${tab}$txdir/$f"
    expect tx "SEND_END${tab}受信${tab}PCR${tab}KMC${tab}$txdir/$f"
    cmp "$work/out/$f" "$work/in/$f" || fail=1
    [ $rc = 0 ] || { echo "sender exit $rc"; fail=1; }
  fi
  [ $fail = 0 ] || { echo "== rx"; cat "$work/rx"; echo "== tx"; cat "$work/tx"; break; }
done
exit $fail
