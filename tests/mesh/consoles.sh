#!/bin/sh
# Two consoles on one private network see each other log in and out; a menu question to a
# console that offers none is answered with MENU_NOTHING. Run through run-in-netns.sh.
set -eu
kmconsole=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
common="--script --address 127.0.0.1 --port 51888"
"$kmconsole" $common --handle Alice --machine PCA --wait 3 >"$out/a" &
sleep 0.5
"$kmconsole" $common --handle 太郎 --machine PCB --wait 2 --menu PCA --menu-disc KMC --until-done >"$out/b"
wait
fail=0
expect() { grep -qxF "$2" "$out/$1" || { echo "missing in $1: $2"; fail=1; }; }
tab=$(printf '\t')
expect a "LOGIN${tab}太郎${tab}PCB${tab}127.0.0.1${tab}KMC"
expect a "LOGOUT${tab}太郎${tab}PCB${tab}127.0.0.1${tab}KMC"
expect b "LOGIN${tab}Alice${tab}PCA${tab}127.0.0.1${tab}KMC"
expect b "MENU_NOTHING${tab}Alice${tab}PCA${tab}KMC"
[ $fail = 0 ] || { echo "== a"; cat "$out/a"; echo "== b"; cat "$out/b"; }
exit $fail
