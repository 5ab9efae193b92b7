#!/usr/bin/env bash
# kmconsole web against hostile HTTP clients, inside the private network namespace that
# run-in-netns.sh made: slow heads from 40 connections, heads of 48 MB, bodies of 48 MB with and
# without a length or a token, 200 waiting state requests on one session, an answer that the
# wire would change, a Host that names another site, wrong tokens again and again. A headless
# Chromium measures how long the page's own requests take meanwhile; the console's memory is
# read from /proc. The attackers send from other loopback addresses than the browser, as other
# computers of the LAN would. Prints the figures it measured.
# Usage: web-console-attacks.sh KMCONSOLE ATTACKER KIV_PEER MESH_LISTENER
set -euo pipefail
kmconsole=$1
attacker=$2
kivpeer=$3
listener=$4
out=/dev/null
. "$(dirname "$0")/web-console-lib.sh"

port=51667
token=attack-test-token-0123456789
base=http://127.0.0.1:51080
head_ms=1000
printf '%s\r\n' "$token" >"$tmp/token"
"$kivpeer" $port 60 kiv 500 >"$tmp/kiv.log" 2>&1 & pids+=($!)
KM_PORT=$port "$listener" listen 60 >"$tmp/mesh.log" 2>&1 & pids+=($!)
"$kmconsole" web --listen 127.0.0.1:51080 --token-file "$tmp/token" --header-timeout $head_ms --port $port \
  --address 127.0.0.1 --machine WEBA --disc KMCA >"$tmp/web.log" 2>&1 &
web=$!
pids+=("$web")
wait_for "${KIV_WEB_START_WAIT:-10}" grep -q "/#token=$token" "$tmp/web.log" || fail "the web console did not start"
start_chromedriver

api=(-H "X-Kiv-Token: $token")
new_session() { curl -s -X POST -d '' "${api[@]}" $base/api/session | jq -r .session; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$web/status"; }

# The browser holds the page; browser_requests MS: for MS milliseconds it sends the page's own
# kind of request (a state request answered at once) every 100 ms; prints the slowest answer's
# milliseconds and how many it sent.
browser=$(new_browser attacks desktop)
[ -n "$browser" ] && [ "$browser" != null ] || fail "Chromium did not start: $(cat "$tmp/chromedriver.log")"
sessions+=("$browser")
wd_post "$browser" timeouts '{"script":30000}' >/dev/null
go "$browser" "$base/#token=$token"
wait_for 60 js_true "$browser" "return !!document.querySelector('#kivs button[data-kiv]')" || fail "the page lists no Kiv"
browser_requests() {
  wd_post "$browser" execute/async "$(jq -n --arg ms "$1" '{args:[],script:("
    const done = arguments[arguments.length - 1];
    const token = sessionStorage.getItem(\"kiv-token\");
    (async () => {
      const h = {\"X-Kiv-Token\": token};
      h[\"X-Kiv-Session\"] = (await (await fetch(\"/api/session\", {method: \"POST\", headers: h})).json()).session;
      let worst = 0, count = 0;
      for (const end = performance.now() + " + $ms + "; performance.now() < end; count++) {
        const t = performance.now();
        const r = await fetch(\"/api/state\", {headers: h, cache: \"no-store\"});
        await r.json();
        if (r.status !== 200) throw new Error(\"status \" + r.status);
        worst = Math.max(worst, performance.now() - t);
        await new Promise((ok) => setTimeout(ok, 100));
      }
      done(Math.round(worst) + \" \" + count);
    })().catch((e) => done(\"error \" + e));")}')" | jq -r .value
}
read -r idle_worst idle_count <<<"$(browser_requests 1500)"
[[ $idle_worst =~ ^[0-9]+$ ]] || fail "the browser's requests: $idle_worst $idle_count"
idle_kb=$(rss_kb)
echo "idle: ${idle_kb} kB resident; the browser's slowest of $idle_count requests ${idle_worst} ms"

# ---- Slow heads, huge heads and bodies without a token, all at once, from ten addresses: 104
# slow connections, more than the console takes in all, so the ones that waited longest for
# their head give way to new ones.
attack_s=6
attackers=()
"$attacker" slowloris 127.0.0.2 127.0.0.1:51080 40 $attack_s 2000 >"$tmp/slowloris.out" & attackers+=($!)
for i in 10 11 12 13; do
  "$attacker" slowloris 127.0.0.$i 127.0.0.1:51080 16 $attack_s 2000 >"$tmp/slowloris$i.out" & attackers+=($!)
done
"$attacker" flood 127.0.0.3 127.0.0.1:51080 lines $attack_s >"$tmp/lines.out" & attackers+=($!)
"$attacker" flood 127.0.0.4 127.0.0.1:51080 line $attack_s >"$tmp/line.out" & attackers+=($!)
"$attacker" flood 127.0.0.5 127.0.0.1:51080 chunked $attack_s >"$tmp/chunked.out" & attackers+=($!)
"$attacker" flood 127.0.0.6 127.0.0.1:51080 nolength $attack_s >"$tmp/nolength.out" & attackers+=($!)
"$attacker" flood 127.0.0.7 127.0.0.1:51080 gzip $attack_s >"$tmp/gzip.out" & attackers+=($!)
( for _ in $(seq $((attack_s * 5))); do rss_kb; sleep 0.2; done ) >"$tmp/rss.out" & attackers+=($!)
sleep 0.5
read -r busy_worst busy_count <<<"$(browser_requests 4500)"
wait "${attackers[@]}"
peak_kb=$(sort -n "$tmp/rss.out" | tail -1)
value() { awk -v k="$2" '$1 == k {print $2}' "$tmp/$1.out"; }
echo "under attack: peak ${peak_kb} kB resident (+$((peak_kb - idle_kb)) kB); the browser's slowest of $busy_count requests ${busy_worst} ms"
for f in slowloris slowloris10 slowloris11 slowloris12 slowloris13 lines line chunked nolength gzip; do
  echo "  $f: $(tr '\n' ' ' <"$tmp/$f.out")"
done
[[ $busy_worst =~ ^[0-9]+$ ]] || fail "the browser's requests under attack: $busy_worst $busy_count"
[ "$busy_worst" -lt 1000 ] || fail "a browser's request took ${busy_worst} ms under attack"
[ $((peak_kb - idle_kb)) -lt 6144 ] || fail "the console grew by $((peak_kb - idle_kb)) kB under attack"
# Slow heads: one address holds at most 16 connections, each for the head's deadline at most.
[ "$(value slowloris refused)" -ge 24 ] || fail "slow heads: $(cat "$tmp/slowloris.out")"
for f in slowloris slowloris10 slowloris11 slowloris12 slowloris13; do
  [ "$(value $f open_at_end)" = 0 ] && [ "$(value $f longest_ms)" -lt $((head_ms + 1500)) ] ||
    fail "slow heads: $(cat "$tmp/$f.out")"
done
# Heads too large are refused with 431 after a few KB; bodies are refused before they are read.
for f in lines:431 line:431 chunked:401 nolength:401 gzip:401; do
  [ "$(value "${f%:*}" "status_${f#*:}")" -ge 1 ] && [ -z "$(value "${f%:*}" status_200)" ] ||
    fail "${f%:*}: $(cat "$tmp/${f%:*}.out")"
done
pass "slow heads, 48 MB heads and bodies without a token: refused; the browser served within 1 s, memory +$((peak_kb - idle_kb)) kB"

# ---- With the token, bodies still come whole with their length or not at all.
for f in chunked:411 nolength:411 gzip:415; do
  "$attacker" flood 127.0.0.3 127.0.0.1:51080 "${f%:*}" 1 "$token" >"$tmp/${f%:*}.out"
  [ "$(value "${f%:*}" "status_${f#*:}")" -ge 1 ] && [ -z "$(value "${f%:*}" status_200)" ] ||
    fail "${f%:*} with the token: $(cat "$tmp/${f%:*}.out")"
done
pass "chunked and encoded bodies and POSTs without a length are refused with the token too"

# ---- 200 state requests waiting on one session: each new one answers the one before at once.
sid=$(new_session)
"$attacker" polls 127.0.0.8 127.0.0.1:51080 "$token" "$sid" 200 >"$tmp/polls.out" & polls=$!
sleep 1
read -r polls_worst polls_count <<<"$(browser_requests 1000)"
wait $polls
echo "200 waiting state requests: $(tr '\n' ' ' <"$tmp/polls.out"); the browser's slowest of $polls_count ${polls_worst} ms"
[ "$(value polls answered_at_once)" -ge 199 ] && [ "$(value polls waiting)" -le 1 ] || fail "polls: $(cat "$tmp/polls.out")"
[[ $polls_worst =~ ^[0-9]+$ ]] && [ "$polls_worst" -lt 1000 ] || fail "the browser beside 200 polls: $polls_worst"
pass "one waiting state request per session; the browser served beside them"

# ---- The Host must be the console's address; wrong tokens are limited per address.
status() { curl -s -o /dev/null -w '%{http_code}' "$@"; }
[ "$(status -H 'Host: rebound.example:51080' $base/)" = 421 ] || fail "a page for another host name"
[ "$(status -H 'Host: rebound.example:51080' "${api[@]}" -H "X-Kiv-Session: $sid" $base/api/state)" = 421 ] ||
  fail "a state request for another host name"
[ "$(status -H 'Host: localhost:51080' $base/)" = 200 ] || fail "localhost on the loopback address"
for i in $(seq 10); do
  [ "$(status --interface 127.0.0.9 -X POST -d '' -H 'X-Kiv-Token: wrong-token-0000000000' $base/api/session)" = 401 ] ||
    fail "wrong token $i"
done
limited=$(curl -s -i --interface 127.0.0.9 -X POST -d '' "${api[@]}" $base/api/session)
[[ $limited == 'HTTP/1.1 429 '* && $limited == *'Retry-After: '* ]] || fail "the 11th try: $limited"
[ "$(status -X POST -d '' "${api[@]}" $base/api/session)" = 200 ] || fail "another address was held up"
pass "a Host of another name is refused; wrong tokens from one address are limited"

# ---- What the parser refuses carries the console's security headers too.
raw() { # raw BYTES: the answer to BYTES sent on a connection of their own
  exec 3<>/dev/tcp/127.0.0.1/51080
  printf '%b' "$1" >&3
  timeout 3 cat <&3 || true
  exec 3<&-
}
for req in 'GET / HTTP/9.9\r\nHost: 127.0.0.1:51080\r\n\r\n' "GET / HTTP/1.1\r\nX-Big: $(head -c 9000 /dev/zero | tr '\0' b)\r\n\r\n" \
  'GET /\x01 HTTP/1.1\r\n\r\n'; do
  answer=$(raw "$req" | tr -d '\r')
  [[ $answer == 'HTTP/1.1 '[45]* && $answer == *'X-Content-Type-Options: nosniff'* && $answer == *"Content-Security-Policy: default-src 'none'"* &&
     $answer == *'X-Frame-Options: DENY'* && $answer == *'Connection: close'* ]] || fail "a refused request: ${answer:0:300}"
done
pass "the parser's own refusals carry the security headers"

# ---- An answer whose Shift-JIS form would hold "\|" is refused; the same text without "|" arrives intact.
sid=$(new_session)
kiv=$(curl -s "${api[@]}" -H "X-Kiv-Session: $sid" $base/api/state | jq -r '.kivs[0].id')
post() { curl -s -X POST "${api[@]}" -H "X-Kiv-Session: $sid" -H 'Content-Type: application/json' -d "$2" "$base/api/$1"; }
prompt_id() { curl -s "${api[@]}" -H "X-Kiv-Session: $sid" $base/api/state | jq -r '.kivs[0].prompt.id // empty'; }
[ "$(post open "{\"kiv\":\"$kiv\"}" | jq -r .sent)" = true ] || fail "open"
has_prompt() { [ -n "$(prompt_id)" ]; }
wait_for 60 has_prompt || fail "no password prompt"
refused=$(post answer "{\"kiv\":\"$kiv\",\"prompt\":$(prompt_id),\"text\":\"ソ|パス\"}")
[ "$(jq -r .error <<<"$refused")" = text ] && [[ $(jq -r .reason <<<"$refused") == *backslash* ]] || fail "ソ|パス: $refused"
[ "$(post answer "{\"kiv\":\"$kiv\",\"prompt\":$(prompt_id),\"text\":\"ソパス\"}" | jq -r .sent)" = true ] || fail "ソパス"
wait_for 60 grep -q 'INPUT_RETURN' "$tmp/mesh.log" || fail "no answer went out"
answers=$(grep -a 'KMMESSAGE:INPUT_RETURN' "$tmp/mesh.log" | cut -f9)
[ "$answers" = "$(printf '\x83\x5c\x83\x70\x83\x58')" ] || fail "what went out: $(od -c <<<"$answers")"
pass "ソ|パス refused with a reason; ソパス sent as 83 5C 83 70 83 58"
