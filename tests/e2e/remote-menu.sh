#!/usr/bin/env bash
# Remote control of kiv.exe under Wine by native consoles, all in one private network
# namespace: the road of a remote connect with a wrong and a right password, a second console
# locked out while the first one's dial runs and served after, the change of target written to
# Kiv.INI, a computer refused by the authorised list, and a remote shutdown that ends the Wine
# session, after which the console sees Kiv log out. The prompts are compared whole, as the
# console decodes them (CR and LF shown as \r and \n).
# Argument: the Windows build tree.
# e2e-x86_64: KestrelMesh's Winsock sockets in kiv.exe (a socket handle is pointer-sized) and the remote dial through Kiv's own records of the remote access service
. "$(dirname "$0")/lib.sh"
e2e_in_netns KMCONSOLE=tools/kmconsole/kmconsole

start_session
new_run_dir
add_simulator
# Office's dial goes on only when the test completes it, so that it runs as long as the test needs.
printf '[Office]\ndial = connect held\n[Home]\ndial = connect 1000\n[Mobile]\n' >"$RUN_DIR/rassim.txt"
cd "$RUN_DIR"
OUT=$RUN_DIR/out
mkdir -p "$OUT"

tab=$'\t'
sp14='              '
sp8='        '
# The stored form of the two scrambled keys: the text scrambled twice.
scrambled_twice() {
  python3 -c '
import sys
def scr(b, off=100):
    return ("%02X" % off + "".join("%02X" % ((c + off) & 0xFF) for c in b)).encode()
print(scr(scr(sys.argv[1].encode())).decode())' "$1"
}

expect_line() { # expect_line CONSOLE SECONDS LINE
  wait_for "$2" seen "$1" "$3" || { echo "== $1"; cat "$OUT/$1"; fail "$1 did not receive: $3"; }
}

prompt_password=$'INPUT_LINE\tPassword\t【Kiv KestrelMesh Menu】\\r\\rKivを制御するにはパスワードが必要です。\\rパスワードを入力してください。\tパスワード\t1'
prompt_wrong=$'INPUT_LINE\tPassword\t【Kiv KestrelMesh Menu】\\r\\r■ 処理結果 ［パスワードが違います］\\r\\rKivを制御するにはパスワードが必要です。\\rパスワードを入力してください。\tパスワード\t1'
# main_menu TARGET STATE [LINES AHEAD OF THE STATUS BLOCK]
main_menu() {
  printf 'INPUT_SELECT\tMenu\t【Kiv KestrelMesh Menu】\\r\\r%s≪ダイヤルアップ制御≫ %s\\r≪接続状況≫%s%s\\r≪自動接続時間≫%s7:05\\r≪自動切断時間≫%s--:--\\r\\r実行したい項目を選択してください。\t■ 【%s】 へ接続する&:■ 【%s】 から切断する&:■ ダイヤルアップの制御対象を変更する&:■ 制御先のPCをシャットダウンする\tConnect&:Deconnect&:Change&:End' \
    "${3:-}" "$1" "$sp14" "$2" "$sp8" "$sp8" "$1" "$1"
}

# ---- Kiv with a password, the target Office, the scheduled connect at 7:05.
printf '[Option]\r\nTarget=Office\r\nAutoStart=1\r\nAutoStartHour=7\r\nAutoStartMinute=5\r\nKMSLogin=1\r\nKMSPasswordFlag=1\r\nKMSPassword=%s\r\n' \
  "$(scrambled_twice kiv)" >Kiv.INI
console watch WATCH --wait 600
start_kiv
kiv_logged_in watch
pass "kiv.exe logged in to KestrelMesh as $KIV_MACHINE"

# The road of a remote connect.
console first PCA --menu "$KIV_MACHINE" --answer wrong --answer kiv --answer '#1' --wait 600
expect_line first 60 "$prompt_password"
expect_line first 60 "$prompt_wrong"
expect_line first 60 "$(main_menu Office 切断)"
expect_line first 60 "$(final '「Office」への接続処理を開始します。\r\n接続処理が完了次第、処理結果を通知します。')"
pass "password prompt, wrong password, main menu with the status block, dial started"
# While the dial runs, the status window shows who asked for it.
wait_for 60 shows '-Control from first<PCA>-||「Office」へのダイヤルアップを開始します。' ||
  fail "status window: $(kivctl text | tr '\r' '|')"
pass "the status window shows the dial with the console's name"

# A second console while the dial runs: the password prompt, then locked.
console second PCB --menu "$KIV_MACHINE" --answer kiv --until-done --wait 600
expect_line second 60 "$prompt_password"
expect_line second 60 "$(final '他のユーザが制御中です。\r\nしばらくしてから実行し直してください。')"
pass "a second console is refused with the locked text while the first one's dial runs"

rassimctl complete Office >/dev/null || fail "no dial of Office to complete: $(rassimctl list)"

expect_line first 60 "$(final '「Office」へ接続しました。')"
call_log | grep 'RasDialA .*entry="Office"' >/dev/null || fail "no dial of Office in the simulator's log"
pass "the simulator connects and the first console receives the connected text"

# Served after the dial: the menu with the line connected, then a change of target.
console third PCB --menu "$KIV_MACHINE" --answer kiv --answer '#3' --answer '#2' --until-done --wait 600
expect_line third 60 "$(main_menu Office 接続)"
expect_line third 60 $'INPUT_SELECT\tDialupChange\t【Kiv KestrelMesh Menu】\\r\\r≪現在の制御対象≫ Office\\r\\r制御対象を選択してください。\t■ Office&:■ Home&:■ Mobile&:キャンセル\t■ Office&:■ Home&:■ Mobile&:キャンセル'
expect_line third 60 "$(main_menu Home 切断 '■ 処理結果 ［制御先を 【Home】 へ変更しました。\r\r')"
grep -q $'^Target=Home\r$' Kiv.INI || fail "Target in Kiv.INI: $(grep -a Target Kiv.INI)"
pass "the second console is served after the dial; Change switches the target and writes it to Kiv.INI"

stop_kiv
expect_line watch 60 "LOGOUT${tab}Kiv${tab}${KIV_MACHINE}${tab}${KIV_IP}${tab}Kiv"

# ---- Only authorised computers, no password: pca is listed, pcb is not.
printf '[Option]\r\nTarget=Office\r\nAutoStart=1\r\nAutoStartHour=7\r\nAutoStartMinute=5\r\nKMSLogin=1\r\nKMSComputer=1\r\nKMSComputerList=%s\r\n' \
  "$(scrambled_twice $'pca\r\n')" >Kiv.INI
rassimctl reset >/dev/null
: >"$OUT/watch"
start_kiv
wait_for 60 grep -q "^LOGIN${tab}Kiv${tab}" "$OUT/watch" || fail "Kiv did not log in again"

console stranger pcb --menu "$KIV_MACHINE" --answer '#1' --until-done --wait 600
expect_line stranger 60 "$(final 'あなたが使用しているコンピュータからのアクセスは許可されていません。\r\nアクセスの許可についてはKivの管理者にお問い合わせください。')"
[ "$(grep -c '^INPUT_' "$OUT/stranger")" = 1 ] || { cat "$OUT/stranger"; fail "the unlisted console got more than the refusal"; }
pass "an unlisted computer receives only the refusal"

# Shut the computer down: the Wine session ends, and Kiv logs out on its way.
console admin PCA --menu "$KIV_MACHINE" --answer '#4' --answer '#2' --wait 600
expect_line admin 60 "$(main_menu Office 切断)"
expect_line admin 60 $'INPUT_SELECT\tWindowsEnd\t【Kiv KestrelMesh Menu】\\r\\r制御先のPCをシャットダウンします。よろしいですか？\t■ いいえ&:■ はい\tNo&:Yes'
expect_line admin 60 "$(final 'シャットダウン処理が開始されました。\r\n\r\n制御先のKivがKestrelMeshからログアウトした後、制御先のPCが正常にシャットダウンされたかどうかを確認してください。')"
wait_for 60 grep -q "^LOGOUT${tab}Kiv${tab}${KIV_MACHINE}${tab}" "$OUT/admin" || { cat "$OUT/admin"; fail "no LOGOUT of Kiv after the shutdown"; }
wait_for 60 kiv_ended || fail "kiv.exe still runs after the shutdown"
wait_for 60 tray_gone || fail "tray icon left behind"
pass "End, Yes: shutdown started, the session ends, the console sees Kiv's LOGOUT"
