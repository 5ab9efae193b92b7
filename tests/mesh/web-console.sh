#!/usr/bin/env bash
# kmconsole web in a real browser: headless Chromium, driven through ChromeDriver's WebDriver
# API with curl and jq, controls Kiv's remote menu (the native Kiv peer) through two web
# consoles, all inside the private network namespace that run-in-netns.sh made. The road: the
# list, the password, connect, the dial-started and connected messages; a second browser on
# another console refused by Kiv while the first one's dial runs; a second browser on the same
# console refused by the console; the token guarding the API, and never sent to another web
# server of the same computer. Screenshots at desktop and phone widths are kept in OUT.
# Usage: web-console.sh KMCONSOLE KIV_PEER OUT
set -euo pipefail
kmconsole=$1
kivpeer=$2
out=$3
mkdir -p "$out"
rm -f "$out"/*.png
. "$(dirname "$0")/web-console-lib.sh"

port=51666
tokenA=web-console-token-A
tokenB=web-console-token-B
"$kivpeer" $port 90 kiv 8000 >"$tmp/kiv.log" 2>&1 & pids+=($!)
# The consoles start one after the other: two Windows consoles starting at the same moment have
# been seen to fail to open their UDP port under load, even in a prefix whose session runs
# already, and that is not what this tests. A's token comes from the environment, B's from the
# command line.
KMCONSOLE_WEB_TOKEN=$tokenA "$kmconsole" web --listen 127.0.0.1:51080 --port $port --address 127.0.0.1 --machine WEBA \
  --disc KMCA >"$tmp/webA.log" 2>&1 & pids+=($!)
wait_for "${KIV_WEB_START_WAIT:-60}" grep -q "/#token=$tokenA" "$tmp/webA.log" || fail "web console A did not start"
"$kmconsole" web --listen 127.0.0.1:51081 --token $tokenB --port $port --address 127.0.0.1 --machine WEBB --disc KMCB \
  >"$tmp/webB.log" 2>&1 & pids+=($!)
wait_for "${KIV_WEB_START_WAIT:-60}" grep -q "/#token=$tokenB" "$tmp/webB.log" || fail "web console B did not start"
grep -q 'process list' "$tmp/webB.log" || fail "no note on a token given on the command line"
# Another web server on this computer, at another port: it keeps every request's head.
python3 - "$tmp/other-server.log" <<'PY' >/dev/null 2>&1 & pids+=($!)
import http.server, sys
log = open(sys.argv[1], "a")
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        log.write(self.requestline + "\n" + str(self.headers) + "\n")
        log.flush()
        body = b"<!doctype html><title>other</title><p>another server of this computer</p>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
http.server.ThreadingHTTPServer(("127.0.0.1", 51090), Handler).serve_forever()
PY
start_chromedriver

# ---- The token guards the API; the page holds no secret and sets no cookie.
status() { curl -s -o /dev/null -w '%{http_code}' "$@"; }
page=$(curl -s -i http://127.0.0.1:51080/)
[[ $page == 'HTTP/1.1 200 '* && $page != *"$tokenA"* && ${page,,} != *set-cookie* ]] || fail "the page: $page"
[ "$(status "http://127.0.0.1:51080/login?token=$tokenA")" = 404 ] || fail "the old login link is served"
[ "$(status -X POST -d '' http://127.0.0.1:51080/api/session)" = 401 ] || fail "the API without the header"
[ "$(status -X POST -d '' "http://127.0.0.1:51080/api/session?token=$tokenA")" = 401 ] || fail "the API with the token in the URL"
[ "$(status -X OPTIONS -H 'Origin: http://evil.example' http://127.0.0.1:51080/api/open)" = 401 ] || fail "a preflight"
preflight=$(curl -s -i -X OPTIONS -H 'Origin: http://evil.example' http://127.0.0.1:51080/api/open)
[[ ${preflight,,} != *access-control* ]] || fail "CORS headers were sent: $preflight"
[ "$(status -X POST -H "X-Kiv-Token: $tokenA" -H 'Content-Type: application/json' --data-binary @/dev/urandom --max-filesize 100000 -m 5 http://127.0.0.1:51080/api/open 2>/dev/null || true)" != 200 ] ||
  fail "random bytes were accepted"
pass "the page holds no secret and sets no cookie; the API needs the header; no CORS"

# Hostile requests get their error and leave the server serving.
api=(-H "X-Kiv-Token: $tokenA" -H 'Content-Type: application/json')
sid=$(curl -s -X POST -d '' "${api[@]}" http://127.0.0.1:51080/api/session | jq -r .session)
api+=(-H "X-Kiv-Session: $sid")
[ "$(status -X POST "${api[@]}" --data-binary "$(head -c 100000 /dev/zero | tr '\0' a)" http://127.0.0.1:51080/api/open)" = 413 ] ||
  fail "an oversized body"
reply=$(curl -s -X POST "${api[@]}" -d '{"kiv":' http://127.0.0.1:51080/api/open)
[ "$(jq -r .error <<<"$reply")" = json ] && [ -n "$(jq -r .reason <<<"$reply")" ] || fail "broken JSON: $reply"
reply=$(curl -s -X POST "${api[@]}" --data-binary $'{"kiv":"\xff"}' http://127.0.0.1:51080/api/open)
[ "$(jq -r .error <<<"$reply")" = json ] || fail "a body that is not UTF-8: $reply"
for _ in $(seq 40); do curl -s -o /dev/null -X POST -d '' -H "X-Kiv-Token: $tokenA" http://127.0.0.1:51080/api/session; done
[ "$(status "${api[@]}" http://127.0.0.1:51080/api/state)" = 403 ] || fail "the oldest of 41 sessions still answers"
for bad in '--listen 0.0.0.0' '--listen 1.2.3:80' '--listen 0.0.0.0:0' '--token short' '--token has/slash-1234' \
  '--token 0123456789abcde' '--token-file /nonexistent/token' '--header-timeout 5'; do
  set +e
  # shellcheck disable=SC2086  # the options as words
  "$kmconsole" web $bad >/dev/null 2>&1; rc=$?; set -e
  [ $rc = 2 ] || fail "kmconsole web $bad: exit $rc"
done
pass "oversized, broken and non-UTF-8 bodies are refused with a reason; sessions are bounded; bad options refused"

# kiv_listed SESSION PORT TOKEN WHAT: the browser logs in to the web console at PORT with TOKEN
# and its list shows a Kiv.
kiv_listed() {
  go "$1" "http://127.0.0.1:$2/#token=$3"
  wait_for 60 js_true "$1" "return !!document.querySelector('#kivs button[data-kiv]')" || fail "$4: no Kiv in the list"
  [ "$(js "$1" 'return location.href')" = "\"http://127.0.0.1:$2/\"" ] || fail "$4: the token stays in the address bar"
}

desk=$(new_browser desk desktop)
[ -n "$desk" ] && [ "$desk" != null ] || fail "Chromium did not start: $(cat "$tmp/chromedriver.log")"
sessions+=("$desk")
phone=$(new_browser phone phone)
sessions+=("$phone")
same=$(new_browser same phone)
sessions+=("$same")

# The list: the Kiv with its name and address.
kiv_listed "$desk" 51080 $tokenA "desktop"
list=$(text_of "$desk" '#kivs')
[[ $list == *KIVPC* && $list == *127.0.0.1* ]] || fail "the list shows: $list"
[ "$(js "$desk" 'return document.documentElement.lang + "|" + document.characterSet')" = '"ja|UTF-8"' ] || fail "page language"
pass "the list shows KIVPC at 127.0.0.1"

# The password, typed into a password field and sent with Enter.
click "$desk" '#kivs button[data-kiv]'
wait_for 60 js_true "$desk" "const i=document.getElementById('line-input'); return !document.getElementById('line-form').hidden && i.type==='password' && document.activeElement===i" ||
  fail "no password field with the focus: $(text_of "$desk" '#panel')"
[[ $(text_of "$desk" '#prompt-message') == *'Kivを制御するにはパスワードが必要です。'* ]] || fail "prompt: $(text_of "$desk" '#prompt-message')"
[ "$(text_of "$desk" '#line-label')" = 'パスワード' ] || fail "label: $(text_of "$desk" '#line-label')"
screenshot "$desk" desktop-password.png
type_into "$desk" '#line-input' $'kiv\uE007'
wait_for 60 js_true "$desk" "return document.querySelectorAll('#choices button').length===4" || fail "no main menu: $(text_of "$desk" '#panel')"
[ "$(js "$desk" "return document.getElementById('line-input').value")" = '""' ] || fail "the password stays in the field"
choices=$(js "$desk" "return [...document.querySelectorAll('#choices button')].map(b=>b.textContent)")
[ "$choices" = '["■ 【東京アクセスポイント】 へ接続する","■ 【東京アクセスポイント】 から切断する","■ ダイヤルアップの制御対象を変更する","■ 制御先のPCをシャットダウンする"]' ] ||
  fail "choices: $choices"
list=$(text_of "$desk" '#kivs')
[[ $list == *'制御対象東京アクセスポイント'* && $list == *'接続状況切断'* && $list == *'自動接続7:05'* && $list == *'自動切断--:--'* ]] ||
  fail "status block in the list: $list"
js_true "$desk" "return document.activeElement===document.querySelector('#choices button')" || fail "the focus is not on the first choice"
screenshot "$desk" desktop-menu.png
pass "password field, then the main menu with the status block in the list, the focus on its first item"

# The phone on the other console waits at the password prompt, ready to act during the dial.
kiv_listed "$phone" 51081 $tokenB "phone"
click "$phone" '#kivs button[data-kiv]'
wait_for 60 js_true "$phone" "return document.getElementById('line-input').type==='password' && !document.getElementById('line-form').hidden" ||
  fail "phone: no password prompt"

# Connect, from the keyboard: Enter on the focused first item.
press_enter "$desk"
wait_for 60 log_has "$desk" '「東京アクセスポイント」への接続処理を開始します。' || fail "no dial-started message: $(text_of "$desk" '#log') panel: $(text_of "$desk" '#panel') active: $(js "$desk" 'return document.activeElement.outerHTML')"
pass "connect: the dial-started message arrives without reload"

# While the dial runs: Kiv refuses the other console; this console refuses its other session.
type_into "$phone" '#line-input' $'kiv\uE007'
wait_for 60 log_has "$phone" '他のユーザが制御中です。' || fail "phone: no refusal: $(text_of "$phone" '#log')"
log_has "$desk" 'へ接続しました。' && fail "the dial ended before the refusal was seen"
screenshot "$phone" phone-refused.png
pass "a second browser on another console is refused by Kiv while the dial runs"

kiv_listed "$same" 51080 $tokenA "same console"
click "$same" '#kivs button[data-kiv]'
wait_for 60 js_true "$same" "return document.getElementById('panel-error').textContent.includes('他の利用者が接続処理を行っている')" ||
  fail "same console: not refused: $(text_of "$same" '#panel')"
log_has "$desk" 'へ接続しました。' && fail "the dial ended before the same-console refusal was seen"
screenshot "$same" phone-same-console-refused.png
pass "a second browser on the same console is refused by the console while the dial runs"

wait_for 60 log_has "$desk" '「東京アクセスポイント」へ接続しました。' || fail "no connected message: $(text_of "$desk" '#log')"
log_has "$phone" 'へ接続しました。' && fail "the other console received the dial's outcome"
screenshot "$desk" desktop-connected.png
pass "the connected message reaches the first browser"

# After the dial: the phone is served, and the menu shows the line connected.
click "$same" '#reopen'
wait_for 60 js_true "$same" "return document.getElementById('line-input').type==='password' && !document.getElementById('line-form').hidden" ||
  fail "same console: not served after the dial: $(text_of "$same" '#panel')"
type_into "$same" '#line-input' $'kiv\uE007'
wait_for 60 js_true "$same" "return document.querySelectorAll('#choices button').length===4" || fail "same console: no menu"
[[ $(text_of "$same" '#kivs') == *'接続状況接続'* ]] || fail "status after the dial: $(text_of "$same" '#kivs')"
overflow=$(js "$same" 'return window.innerWidth + "/" + document.documentElement.scrollWidth')
[ "$overflow" = '"390/390"' ] || fail "the phone's width and the page's: $overflow"
screenshot "$same" phone-menu.png
pass "served after the dial; the phone's page fits its width"

# Another web server of this computer, opened in the browsers that hold the tokens, gets neither.
for s in "$desk" "$phone"; do
  go "$s" http://127.0.0.1:51090/
  wait_for 10 js_true "$s" "return document.title==='other'" || fail "the other server's page did not open"
  [ "$(js "$s" 'return sessionStorage.length')" = 0 ] || fail "the other origin sees this tab's storage"
done
[ -s "$tmp/other-server.log" ] || fail "the other server saw no request"
! grep -q -e "$tokenA" -e "$tokenB" -e '^Cookie' "$tmp/other-server.log" || fail "a token went to the other server: $(cat "$tmp/other-server.log")"
# Back at the console, the tab still holds its token; the phone's tab, which opened the other
# console's link, holds none for this one.
go "$desk" http://127.0.0.1:51080/
wait_for 10 js_true "$desk" "return !!document.querySelector('#kivs button[data-kiv]')" || fail "the tab lost its token"
go "$phone" http://127.0.0.1:51080/
wait_for 10 js_true "$phone" "return document.getElementById('connection').textContent.includes('リンクから開いて')" ||
  fail "a page without the token: $(text_of "$phone" '#connection')"
pass "another server of this computer gets no token; the token stays with the console's tab"
echo "screenshots: $out"
