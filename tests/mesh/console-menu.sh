#!/bin/sh
# kmconsole in script mode walks through a menu dialogue: a masked password prompt, a select
# list answered by item number, the closing message. Run through run-in-netns.sh.
# Usage: console-menu.sh KMCONSOLE MENU_PEER
set -eu
kmconsole=$1
menupeer=$2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$menupeer" 51666 120 &
peer=$!
sleep 0.3
"$kmconsole" --script --address 127.0.0.1 --port 51666 --machine CONSOLE1 --handle 太郎 \
  --menu KIVPC --answer ひみつ --answer '#2' --until-done --wait 60 >"$out"
kill $peer
wait $peer || true
tab=$(printf '\t')
fail=0
expect() { grep -qxF "$1" "$out" || { echo "missing: $1"; fail=1; }; }
expect "INPUT_LINE${tab}Password${tab}【Kiv KestrelMesh Menu】\\r\\rパスワードを入力してください。${tab}パスワード${tab}1"
expect "RETURN${tab}Password${tab}ひみつ${tab}sent"
expect "INPUT_SELECT${tab}Menu${tab}メニュー\\r\\n選んでください${tab}■ 接続する&:■ 切断する${tab}Connect&:Deconnect"
expect "RETURN${tab}Menu${tab}Deconnect${tab}sent"
expect "INPUT_MESSAGE${tab}done: Deconnect${tab}KIVPC${tab}Kiv"
[ $fail = 0 ] || cat "$out"
exit $fail
