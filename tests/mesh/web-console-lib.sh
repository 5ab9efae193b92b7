# shellcheck shell=bash
# What the web console's browser and attack tests share, sourced by them: the tools they need,
# a temporary folder and the processes to end with it, and headless Chromium driven through
# ChromeDriver's W3C WebDriver API with curl and jq. The sourcing script sets `out` (where
# screenshots go) and adds what it starts to `pids`.
for tool in /usr/bin/chromium /usr/bin/chromedriver curl jq; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (Debian packages chromium, chromium-driver, curl, jq)"; exit 1; }
done
[[ $(ip -o addr show lo) == *'inet 127.'* ]] || { echo "FAIL: not in a private network namespace"; exit 1; }

tmp=$(mktemp -d)
pids=()
# start_chromedriver: ChromeDriver on 127.0.0.1:9515, ready for sessions.
start_chromedriver() {
  chromedriver --port=9515 --allowed-ips=127.0.0.1 >"$tmp/chromedriver.log" 2>&1 & pids+=($!)
  wait_for 60 curl -sf "$wd/status" -o /dev/null || fail "chromedriver did not start"
}
cleanup() {
  for s in "${sessions[@]:-}"; do [ -n "$s" ] && curl -s -X DELETE "$wd/session/$s" >/dev/null || true; done
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$tmp"/*.log; do echo "== $f"; cat "$f"; done; exit 1; }
pass() { echo "ok: $*"; }
# wait_for SECONDS COMMAND...: true once the command succeeds.
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.2; done
}

wd=http://127.0.0.1:9515
sessions=()
flags='["--headless","--no-sandbox","--disable-gpu","--disable-quic","--no-first-run","--disable-background-networking","--disable-component-update","--disable-sync","--disable-dev-shm-usage","--lang=ja"]'
new_browser() { # new_browser NAME desktop|phone -> session id on stdout (kept in `sessions`)
  local dir="$tmp/profile-$1"
  mkdir -p "$dir"
  local caps
  # A phone: a 390 x 844 screen with touch, as the browser's device emulation gives it.
  caps=$(jq -n --argjson flags "$flags" --arg dir "--user-data-dir=$dir" --arg kind "$2" \
    '{capabilities:{alwaysMatch:{browserName:"chrome","goog:chromeOptions":({binary:"/usr/bin/chromium",
       args:($flags+[$dir,"--window-size=1280,900"])} + (if $kind=="phone" then
       {mobileEmulation:{deviceMetrics:{width:390,height:844,pixelRatio:2,touch:true}}} else {} end))}}}')
  curl -sf -X POST -H 'Content-Type: application/json' -d "$caps" "$wd/session" | jq -r .value.sessionId
}
wd_post() { curl -sf -X POST -H 'Content-Type: application/json' -d "$3" "$wd/session/$1/$2"; }
go() { wd_post "$1" url "$(jq -n --arg u "$2" '{url:$u}')" >/dev/null; }
js() { # js SESSION SCRIPT: the script's return value as JSON
  wd_post "$1" execute/sync "$(jq -n --arg s "$2" '{script:$s,args:[]}')" | jq -c .value
}
js_true() { [ "$(js "$1" "$2")" = true ]; }
find_el() { wd_post "$1" element "$(jq -n --arg c "$2" '{using:"css selector",value:$c}')" | jq -r '.value[]'; }
click() { wd_post "$1" "element/$(find_el "$1" "$2")/click" '{}' >/dev/null; }
type_into() { wd_post "$1" "element/$(find_el "$1" "$2")/value" "$(jq -n --arg t "$3" '{text:$t}')" >/dev/null; }
press_enter() { wd_post "$1" actions '{"actions":[{"type":"key","id":"kb","actions":[{"type":"keyDown","value":"\uE007"},{"type":"keyUp","value":"\uE007"}]}]}' >/dev/null; }
# shellcheck disable=SC2154  # out is the sourcing script's
screenshot() { curl -sf "$wd/session/$1/screenshot" | jq -r .value | base64 -d >"$out/$2"; }
log_has() { js_true "$1" "return document.getElementById('log').textContent.includes($(jq -n --arg t "$2" '$t'))"; }
text_of() { js "$1" "const e=document.querySelector('$2'); return e ? e.textContent : ''" | jq -r .; }
