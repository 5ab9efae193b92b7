#!/usr/bin/env bash
# kmconsole web against hostile peers of the mesh, in a real browser (headless Chromium through
# ChromeDriver), inside the private network namespace that run-in-netns.sh made:
# - an impostor that logged in under the Kiv's computer name before the Kiv (with another kind,
#   from another address) and claims every question of the console with a prompt and a message
#   of its own: the user's questions and password go to the Kiv the user chose, and only its
#   answers are shown;
# - a crowd of made-up Kivs with long names, one answering with 256 long items, a long status
#   block and 300 messages, one sending a status block nobody asked for: the list, the items,
#   the page's log and what a state request weighs stay bounded.
# Screenshots go to OUT.
# Usage: web-console-lan.sh KMCONSOLE FAKE_PEER KIV_PEER OUT
set -euo pipefail
kmconsole=$1
fakepeer=$2
kivpeer=$3
out=$4
mkdir -p "$out"
rm -f "$out"/*.png
. "$(dirname "$0")/web-console-lib.sh"

port=51668
token=web-console-lan-token-01
base=http://127.0.0.1:51080
KMCONSOLE_WEB_TOKEN=$token "$kmconsole" web --listen 127.0.0.1:51080 --port $port --address 127.0.0.1 --machine WEBA \
  --disc KMCA >"$tmp/web.log" 2>&1 & pids+=($!)
wait_for "${KIV_WEB_START_WAIT:-10}" grep -q "/#token=$token" "$tmp/web.log" || fail "the web console did not start"
# The impostor first, then the Kiv.
"$fakepeer" $port 127.0.0.2 60 impostor KIVPC >"$tmp/impostor.log" 2>&1 & pids+=($!)
sleep 0.5
"$kivpeer" $port 60 kiv 3000 >"$tmp/kiv.log" 2>&1 & pids+=($!)
start_chromedriver

api=(-H "X-Kiv-Token: $token")
state() { # state SESSION: the console's state for that session
  curl -s "${api[@]}" -H "X-Kiv-Session: $1" $base/api/state
}

# ---- The impostor.
desk=$(new_browser desk desktop)
[ -n "$desk" ] && [ "$desk" != null ] || fail "Chromium did not start: $(cat "$tmp/chromedriver.log")"
sessions+=("$desk")
go "$desk" "$base/#token=$token"
wait_for 60 js_true "$desk" "return document.querySelectorAll('#kivs button[data-kiv]').length===1" || fail "no Kiv in the list"
[[ $(text_of "$desk" '#kivs') == *'KIVPC'*'アドレス 127.0.0.1'* ]] || fail "the list: $(text_of "$desk" '#kivs')"
click "$desk" '#kivs button[data-kiv]'
wait_for 60 js_true "$desk" "return !document.getElementById('line-form').hidden" || fail "no prompt: $(text_of "$desk" '#panel')"
sleep 1  # time for the impostor's prompt to arrive, had it a way in
[[ $(text_of "$desk" '#prompt-message') == *'Kivを制御するにはパスワードが必要です。'* ]] ||
  fail "the prompt shown: $(text_of "$desk" '#prompt-message')"
type_into "$desk" '#line-input' $'kiv\uE007'
wait_for 60 js_true "$desk" "return document.querySelectorAll('#choices button').length===4" || fail "no main menu: $(text_of "$desk" '#panel')"
press_enter "$desk"
wait_for 60 log_has "$desk" '「東京アクセスポイント」への接続処理を開始します。' || fail "no dial: $(text_of "$desk" '#log')"
sleep 1
screenshot "$desk" desktop-impostor.png
for forged in '偽のKiv' '偽の接続先'; do
  ! js_true "$desk" "return document.body.textContent.includes('$forged')" || fail "the impostor's text is shown: $forged"
done
# What the console asked went to the Kiv's address and kind: the impostor heard it (every
# message is a broadcast) but was never its target.
grep -q '^heard MENU_CHECK' "$tmp/impostor.log" && grep -q '^heard INPUT_RETURN' "$tmp/impostor.log" ||
  fail "the impostor heard no question: $(cat "$tmp/impostor.log")"
targets=$(awk '/^heard/ {print $3 "/" $4}' "$tmp/impostor.log" | sort -u)
[ "$targets" = 127.0.0.1/Kiv ] || fail "questions went to: $targets"
pass "an impostor under the Kiv's name gets no question, and its prompt and messages are not shown"

# ---- The crowd.
"$fakepeer" $port 127.0.0.3 60 flood >"$tmp/flood.log" 2>&1 & pids+=($!)
wait_for 60 grep -q 'logged in' "$tmp/flood.log" || fail "the crowd did not log in"
wait_for 60 js_true "$desk" "return !document.getElementById('list-more').hidden" || fail "no note of Kivs left out"
listed=$(js "$desk" "return document.querySelectorAll('#kivs li').length")
longest=$(js "$desk" "return Math.max(...[...document.querySelectorAll('.kiv-name')].map(e => e.textContent.length))")
echo "listed $listed Kivs, the longest name shown ${longest} characters; $(text_of "$desk" '#list-more')"
[ "$listed" = 32 ] && [ "$longest" -le 140 ] || fail "the list: $listed Kivs, a name of $longest characters"
sid=$(curl -s -X POST -d '' "${api[@]}" $base/api/session | jq -r .session)
listing=$(state "$sid")
[ "$(jq -r '.kivs[] | select(.machine=="KIVY") | .status' <<<"$listing")" = null ] || fail "a status block nobody asked for was taken"
echo "a state request with the list only: ${#listing} bytes"
[ "${#listing}" -lt 32768 ] || fail "the state with the list only weighs ${#listing} bytes"

# KIVX answers with 256 long items, a long status block and 300 messages. (The list is drawn
# anew with every change while the crowd arrives, so a click may hit a button just replaced.)
kivx=$(jq -r '.kivs[] | select(.machine=="KIVX") | .id' <<<"$listing")
open_kivx() {
  click "$desk" "#kivs button[data-kiv=\"$kivx\"]" 2>/dev/null
  [[ $(text_of "$desk" '#panel-title') == KIVX* ]]
}
wait_for 60 open_kivx || fail "KIVX could not be opened: $(text_of "$desk" '#panel-title')"
wait_for 60 js_true "$desk" "return document.querySelectorAll('#choices button').length>0" || fail "no menu from KIVX: $(text_of "$desk" '#panel')"
items=$(js "$desk" "return document.querySelectorAll('#choices button').length")
itemLength=$(js "$desk" "return Math.max(...[...document.querySelectorAll('#choices button')].map(b => b.textContent.length))")
shown=$(js "$desk" "return document.getElementById('prompt-message').textContent.length")
[ "$(jq -r '.kivs[] | select(.machine=="KIVX") | .status' <<<"$(state "$sid")")" != null ] || fail "KIVX's status block"
target=$(jq -r '.kivs[] | select(.machine=="KIVX") | .status.target | length' <<<"$(state "$sid")")
echo "KIVX's menu: $items items shown, the longest ${itemLength} characters; question ${shown} characters; status target $target characters"
[ "$items" = 64 ] && [ "$itemLength" -le 260 ] && [ "$shown" -le 2100 ] && [ "$target" -le 130 ] || fail "KIVX's menu"
js_true "$desk" "return document.documentElement.scrollWidth <= window.innerWidth" ||
  fail "long texts widen the page: $(js "$desk" 'return document.documentElement.scrollWidth')"
screenshot "$desk" desktop-crowd-menu.png
click "$desk" '#choices button'
wait_for 60 log_has "$desk" '通知 299' || fail "the last message did not arrive"
logged=$(js "$desk" "return document.getElementById('log').children.length")
echo "after 300 messages: $logged lines in the page's log"
[ "$logged" = 200 ] || fail "the log keeps $logged lines"
[[ $(js "$desk" "return document.getElementById('log').lastElementChild.textContent") == *'通知 299'* ]] || fail "the log's last line"
screenshot "$desk" desktop-crowd.png

# What one state request weighs for a session that has KIVX's menu open and its messages.
curl -s -X POST "${api[@]}" -H "X-Kiv-Session: $sid" -H 'Content-Type: application/json' -d "{\"kiv\":\"$kivx\"}" \
  $base/api/open >/dev/null
has_menu() { [ "$(state "$sid" | jq '[.kivs[].prompt | select(. != null)] | length')" = 1 ]; }
wait_for 60 has_menu || fail "no menu for the second session"
menu=$(state "$sid")
echo "a state request with KIVX's menu: ${#menu} bytes"
prompt=$(jq -r '.kivs[] | select(.machine=="KIVX") | .prompt.id' <<<"$menu")
curl -s -X POST "${api[@]}" -H "X-Kiv-Session: $sid" -H 'Content-Type: application/json' \
  -d "{\"kiv\":\"$kivx\",\"prompt\":$prompt,\"choice\":0}" $base/api/answer >/dev/null
has_notes() { [ "$(state "$sid" | jq '.notes | length')" = 20 ]; }
wait_for 60 has_notes || fail "no messages for the second session"
sleep 3.5  # the rest of its 300 messages
full=$(state "$sid")
echo "a state request with KIVX's 300 messages: ${#full} bytes, $(jq '.notes | length' <<<"$full") notes kept"
[ "${#menu}" -lt 131072 ] && [ "${#full}" -lt 131072 ] || fail "the state weighs ${#menu} and ${#full} bytes"
pass "the crowd: 32 Kivs listed, names, items, texts and the log bounded, no status block taken unasked"
