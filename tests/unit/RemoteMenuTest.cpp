// The remote control dialogue with consoles, checked send by send with every argument. The
// expected texts are written out here in full, so that a changed byte shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "FileBytes.h"
#include "Fakes.h"
#include "RemoteMenu.h"
#include "RemoteRights.h"
#include "RemoteTexts.h"

namespace kiv {
namespace {

using Send = test::FakeMesh::Send;

constexpr char kHeader[] = "【Kiv KestrelMesh Menu】\r\r";
constexpr char kShownMenuOffice[] =
    "■ 【Office】 へ接続する&:■ 【Office】 から切断する&:■ ダイヤルアップの制御対象を変更する&:"
    "■ 制御先のPCをシャットダウンする";
constexpr char kPasswordPrompt[] =
    "【Kiv KestrelMesh Menu】\r\rKivを制御するにはパスワードが必要です。\rパスワードを入力してください。";
constexpr char kLocked[] =
    "【Kiv KestrelMesh Message】\r\n\r\n他のユーザが制御中です。\r\nしばらくしてから実行し直してください。";
constexpr char kRefused[] =
    "【Kiv KestrelMesh Message】\r\n\r\nあなたが使用しているコンピュータからのアクセスは許可されていません。\r\n"
    "アクセスの許可についてはKivの管理者にお問い合わせください。";
constexpr char kSettingsBroken[] =
    "【Kiv KestrelMesh Message】\r\n\r\nKivの設定に不備があります。\r\n"
    "存在するダイヤルアップ接続設定が指定されているかどうか確認してください。";
constexpr char kDialStartedOffice[] =
    "【Kiv KestrelMesh Message】\r\n\r\n「Office」への接続処理を開始します。\r\n接続処理が完了次第、処理結果を通知します。";

// Phonebook A, B, Office; the target Office, idle; scheduled connect 23:00, disconnect off.
class RemoteMenu : public ::testing::Test, protected test::MainFormFixture {
protected:
    RemoteMenu()
    {
        ras.entries = {"A", "B", "Office"};
        form.Settings.Target = "Office";
        form.Settings.AutoStart = true;
        form.Settings.AutoStartHour = 23;
        form.Settings.AutoStartMinute = 0;
        form.Settings.AutoEnd = false;
        vss.DefaultIniFilePath = IniPath();
    }

    void MenuFrom(const std::string& machine, const std::string& handle = "Taro")
    {
        kms.MenuRequest(handle, machine, "KMC");
    }
    void Answer(const std::string& key, const std::string& answer, const std::string& machine = "PC01",
                const std::string& handle = "Taro")
    {
        kms.InputReturn(key, answer, handle, machine, "KMC");
    }
    // The sends since the last call.
    std::vector<Send> Sends()
    {
        auto out = kms.sends;
        kms.sends.clear();
        kms.sent.clear();
        return out;
    }
    std::vector<std::string> Statuses()
    {
        return test::TakeStatusTexts(form);
    }

    // The main menu as the console receives it, with lines ahead of the status block.
    static Send MainMenu(const std::string& before, const std::string& state, const std::string& machine = "PC01",
                         const std::string& start = "23:00", const std::string& target = "Office")
    {
        const std::string shown = "■ 【" + target + "】 へ接続する&:■ 【" + target + "】 から切断する&:"
                                  "■ ダイヤルアップの制御対象を変更する&:■ 制御先のPCをシャットダウンする";
        return {"SELECT",
                kHeader + before + "≪ダイヤルアップ制御≫ " + target + "\r≪接続状況≫              " + state +
                    "\r≪自動接続時間≫        " + start + "\r≪自動切断時間≫        --:--\r\r実行したい項目を選択してください。",
                shown,
                "Connect&:Deconnect&:Change&:End",
                "Menu",
                machine,
                "KMC",
                false};
    }
    static Send Message(const std::string& text, const std::string& machine = "PC01")
    {
        return {"MESSAGE", text, "", "", "", machine, "KMC", false};
    }
    static Send PasswordPrompt(const std::string& text, const std::string& machine = "PC01")
    {
        return {"LINE", text, "パスワード", "", "Password", machine, "KMC", true};
    }
    int Dials() const
    {
        return static_cast<int>(std::count_if(ras.calls.begin(), ras.calls.end(),
                                              [](const std::string& c) { return c.rfind("Dial ", 0) == 0; }));
    }
};

TEST_F(RemoteMenu, MenuRequestWithoutPasswordIsAnsweredWithTheMainMenu)
{
    ras.states["Office"] = 2;
    MenuFrom("PC01");
    const Send expected{"SELECT",
                        "【Kiv KestrelMesh Menu】\r\r"
                        "≪ダイヤルアップ制御≫ Office\r"
                        "≪接続状況≫              接続\r"
                        "≪自動接続時間≫        23:00\r"
                        "≪自動切断時間≫        --:--\r"
                        "\r"
                        "実行したい項目を選択してください。",
                        kShownMenuOffice,
                        "Connect&:Deconnect&:Change&:End",
                        "Menu",
                        "PC01",
                        "KMC",
                        false};
    EXPECT_EQ(Sends(), std::vector<Send>{expected});
    // The item mark is the two bytes of ■ and a space.
    EXPECT_EQ(std::string(kRemoteItemMark), "\x81\xA1 ");
}

TEST_F(RemoteMenu, StatusBlockShowsStateAndScheduledTimes)
{
    struct Case {
        int state;
        bool autoStart;
        int hour, minute;
        const char* stateText;
        const char* startText;
    };
    const Case cases[] = {
        {0, true, 7, 5, "切断", "7:05"},
        {1, false, 7, 5, "ダイヤル中", "--:--"},
        {2, true, 0, 0, "接続", "0:00"},
        {-1, true, 12, 30, "接続", "12:30"},
    };
    for (const auto& c : cases) {
        form.Settings.AutoStart = c.autoStart;
        form.Settings.AutoStartHour = c.hour;
        form.Settings.AutoStartMinute = c.minute;
        EXPECT_EQ(RemoteStatusBlock(form.Settings, c.state),
                  std::string("≪ダイヤルアップ制御≫ Office\r≪接続状況≫              ") + c.stateText +
                      "\r≪自動接続時間≫        " + c.startText + "\r≪自動切断時間≫        --:--\r")
            << c.state;
    }
    form.Settings.AutoEnd = true;
    form.Settings.AutoEndHour = 7;
    form.Settings.AutoEndMinute = 59;
    EXPECT_NE(RemoteStatusBlock(form.Settings, 0).find("≪自動切断時間≫        7:59\r"), std::string::npos);
}

TEST_F(RemoteMenu, PasswordIsAskedUntilRightAndOnlyUnderItsKey)
{
    form.Settings.KMSPasswordFlag = true;
    form.Settings.KMSPassword = "Secret";
    MenuFrom("PC01");
    EXPECT_EQ(Sends(), std::vector<Send>{PasswordPrompt(kPasswordPrompt)});

    for (const char* wrong : {"secret", "", "Secret "}) {
        Answer("Password", wrong);
        EXPECT_EQ(Sends(), std::vector<Send>{PasswordPrompt(
                               "【Kiv KestrelMesh Menu】\r\r■ 処理結果 ［パスワードが違います］\r\r"
                               "Kivを制御するにはパスワードが必要です。\rパスワードを入力してください。")})
            << wrong;
    }
    Answer("Password", "Secret");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("", "切断")});

    // An answer under another key is acted on without the password; the menu that follows
    // comes without asking again.
    Answer("DialupChange", "キャンセル");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("■ 処理結果 ［制御対象の変更をキャンセルしました］\r\r", "切断")});
}

TEST_F(RemoteMenu, AuthorisedComputersAreComparedFoldedToUpperCase)
{
    struct Case {
        bool on;
        StringList allowed;
        std::string machine;
        bool admitted;
    };
    const Case cases[] = {
        {true, {"pc01"}, "PC01", true},
        {true, {"pc01"}, "Pc01", true},
        {true, {"pc01"}, "PC02", false},
        {true, {"pc01"}, "pc02", false},
        {true, {"x", "PC02"}, "pc02", true},
        {true, {}, "PC01", false},
        {false, {}, "ANY", true},
        // Folding leaves the second byte of a double-byte character alone: "ア" (83 41) and
        // the bytes 83 61 are different names.
        {true, {"\x83\x41"}, "\x83\x61", false},
        {true, {"\x83\x41pc"}, "\x83\x41PC", true},
    };
    for (const auto& c : cases) {
        form.Settings.KMSComputer = c.on;
        form.AllowedComputers = c.allowed;
        for (int handler = 0; handler < 2; ++handler) {
            if (handler == 0)
                MenuFrom(c.machine);
            else
                Answer("Menu", "Connect", c.machine);
            const auto sends = Sends();
            ASSERT_EQ(sends.size(), 1u) << c.machine;
            if (c.admitted) {
                EXPECT_NE(sends[0].message, kRefused) << c.machine;
            } else {
                // Only the refusal, to the name the console announced.
                EXPECT_EQ(sends[0], Message(kRefused, c.machine)) << c.machine;
            }
            form.RemoteMachineName.clear();
            ras.states.clear();
        }
    }
    EXPECT_EQ(Dials(), 5);  // one Connect per admitted case, none for a refused console
}

TEST_F(RemoteMenu, TargetMissingBreaksEveryRequest)
{
    form.Settings.KMSPasswordFlag = true;
    form.Settings.Target = "Gone";
    MenuFrom("PC01");
    Answer("Password", "");
    Answer("Menu", "Connect");
    Answer("WindowsEnd", "Yes");
    EXPECT_EQ(Sends(), std::vector<Send>(4, Message(kSettingsBroken)));
    EXPECT_EQ(Dials(), 0);
    EXPECT_EQ(shutdown.requests, 0);
}

TEST_F(RemoteMenu, RemoteConnectTakesTheLockUntilTheDialEnds)
{
    tmConnect.SetEnabled(true);  // a pending redial is replaced by this dial
    form.RedialDone = 2;
    Answer("Menu", "Connect", "PC01", "Taro");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(kDialStartedOffice)});
    // On screen, without its action code.
    EXPECT_EQ(Statuses(), std::vector<std::string>{"-Control from Taro<PC01>-\r\r「Office」へのダイヤルアップを開始します。\r"
                                                   "アイコンクリックでキャンセルすることができます。"});
    EXPECT_EQ(ras.calls, std::vector<std::string>{"Dial 2"});
    EXPECT_EQ(form.RemoteMachineName, "PC01");
    EXPECT_EQ(form.RemoteDiscrimination, "KMC");
    EXPECT_TRUE(form.ConnectRequested);
    EXPECT_EQ(form.RedialDone, 0);
    EXPECT_FALSE(tmConnect.Enabled());

    // Another machine: refused whatever it answers; a menu request without password is an
    // answer under "Password".
    MenuFrom("PC02");
    Answer("Menu", "Deconnect", "PC02");
    Answer("WindowsEnd", "Yes", "PC02");
    EXPECT_EQ(Sends(), std::vector<Send>(3, Message(kLocked, "PC02")));
    EXPECT_EQ(shutdown.requests, 0);

    // The holder goes on as usual.
    MenuFrom("PC01");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("", "ダイヤル中")});

    ras.states["Office"] = 2;
    ras.OnConnect("Office");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(RemoteConnectedText("Office"))});
    EXPECT_TRUE(form.RemoteMachineName.empty());

    MenuFrom("PC02");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("", "接続", "PC02")});
}

TEST_F(RemoteMenu, LockedOutMachineStillGetsThePasswordPromptThenLocked)
{
    form.Settings.KMSPasswordFlag = true;
    form.Settings.KMSPassword = "pw";
    form.RemoteMachineName = "PC01";
    form.RemoteDiscrimination = "KMC";
    MenuFrom("PC02");
    EXPECT_EQ(Sends(), std::vector<Send>{PasswordPrompt(kPasswordPrompt, "PC02")});
    Answer("Password", "pw", "PC02");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(kLocked, "PC02")});
    // The lock compares names exactly.
    Answer("Password", "pw", "pc01");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(kLocked, "pc01")});
}

TEST_F(RemoteMenu, FailedRemoteDialTellsTheConsoleAndFreesTheLock)
{
    Answer("Menu", "Connect");
    Sends();
    ras.states["Office"] = 0;
    ras.OnConnectError("Office", {});
    EXPECT_EQ(Sends(), std::vector<Send>{Message(RemoteFailedText("Office"))});
    EXPECT_TRUE(form.RemoteMachineName.empty());
    Answer("Password", "", "PC02");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("", "切断", "PC02")});
}

TEST_F(RemoteMenu, ConnectWhenNotIdleOrRefused)
{
    ras.states["Office"] = 1;
    Answer("Menu", "Connect");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("【注意】 既に -Office- へダイヤル中です。\r\r", "ダイヤル中")});
    ras.states["Office"] = 2;
    Answer("Menu", "Connect");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("【注意】 既に -Office- へ接続されています。\r\r", "接続")});
    EXPECT_EQ(Dials(), 0);

    ras.states["Office"] = 0;
    ras.dialSucceeds = false;
    Answer("Menu", "Connect");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(
                           "【Kiv KestrelMesh Message】\r\n\r\n「Office」への接続処理に失敗しました。\r\n"
                           "他のアプリケーションが接続処理を行っていないか、OSのダイヤルアップ設定に不備がないか確認してください。")});
    EXPECT_EQ(Dials(), 1);
    EXPECT_TRUE(form.RemoteMachineName.empty());  // no lock
    EXPECT_TRUE(Statuses().empty());
    EXPECT_TRUE(form.ConnectRequested);  // the keep-alive may take it up
}

TEST_F(RemoteMenu, DeconnectByState)
{
    const std::string disconnected = "【Kiv KestrelMesh Message】\r\n\r\n「Office」から切断しました。";
    const std::string failed =
        "【Kiv KestrelMesh Message】\r\n\r\n原因不明のエラーで「Office」から切断することができませんでした。\r\n"
        "このエラーが頻繁に報告される場合は、Kivが動作しているPCのOSの設定等を確認してみてください。";
    const std::string prefix = "-Control from Taro<PC01>-\r\r";
    // released: the service releases the line within the wait; otherwise the line is in
    // stateAfterFailedHangUp when the wait gives up (-1: the service has gone).
    struct Case {
        const char* name;
        int state;
        bool cancelOk, released;
        int stateAfterFailedHangUp;
        std::vector<Send> sends;
        std::vector<std::string> statuses;
        bool connectRequestedAfter;
    };
    const std::vector<Case> cases = {
        {"idle", 0, true, true, 0, {MainMenu("■ 処理結果 ［ 【Office】 へは接続されていません］\r\r", "切断")}, {}, true},
        {"connected", 2, true, true, 0, {Message(disconnected)}, {prefix + "「Office」から切断しました。"}, false},
        {"hang-up fails, line up", 2, true, false, 2, {Message(failed)}, {prefix + "「Office」からの切断に失敗しました。"}, true},
        {"hang-up fails, line gone", 2, true, false, 0, {Message(disconnected)}, {prefix + "「Office」から切断しました。"}, false},
        {"hang-up fails, service gone", 2, true, false, -1, {}, {}, false},
        {"dialling, cancelled", 1, true, true, 0, {}, {prefix + "「Office」へのダイヤルアップ処理をキャンセルしました。"}, true},
        {"dialling, cancel fails", 1, false, false, 1, {Message(failed)}, {prefix + "「Office」からの切断に失敗しました。"}, true},
    };
    for (const auto& c : cases) {
        ras.states = {{"Office", c.state}};
        ras.cancelSucceeds = c.cancelOk;
        ras.serviceError = false;
        form.ConnectRequested = true;
        form.CancelRequested = false;
        Answer("Menu", "Deconnect");
        if (!ras.hangingUp.empty()) {
            EXPECT_TRUE(Sends().empty()) << c.name << ": nothing before the line's end";
            if (!c.released) {
                ras.serviceError = c.stateAfterFailedHangUp == -1;
                ras.states["Office"] = c.stateAfterFailedHangUp;
            }
            ras.Release(c.released);
        }
        EXPECT_EQ(Sends(), c.sends) << c.name;
        EXPECT_EQ(Statuses(), c.statuses) << c.name;
        EXPECT_EQ(form.ConnectRequested, c.connectRequestedAfter) << c.name;
        EXPECT_EQ(form.CancelRequested, c.state == 1 && c.cancelOk) << c.name;
    }
}

TEST_F(RemoteMenu, CancelOfOwnDialSendsTheCancelledTextWhenTheErrorArrives)
{
    Answer("Menu", "Connect");
    Sends();
    Statuses();
    Answer("Menu", "Deconnect");
    EXPECT_TRUE(Statuses().empty());  // until the service has released the line
    ras.Release();
    EXPECT_TRUE(Sends().empty());
    EXPECT_EQ(Statuses(), std::vector<std::string>{"-Control from Taro<PC01>-\r\r「Office」へのダイヤルアップ処理をキャンセルしました。"});
    ras.states["Office"] = 0;
    ras.OnConnectError("Office", {});
    EXPECT_EQ(Sends(), std::vector<Send>{Message(RemoteCancelledText("Office"))});
    EXPECT_TRUE(Statuses().empty());  // the canceller's message was the only one
    EXPECT_FALSE(form.ConnectRequested);
    EXPECT_TRUE(form.RemoteMachineName.empty());
}

TEST_F(RemoteMenu, ChangeSwitchesTheTargetAndWritesIt)
{
    ras.entries = {"A", "B", "C"};
    form.Settings.Target = "B";
    Answer("Menu", "Change");
    const std::string list = "■ A&:■ B&:■ C&:キャンセル";
    const Send question{"SELECT", "【Kiv KestrelMesh Menu】\r\r≪現在の制御対象≫ B\r\r制御対象を選択してください。",
                        list, list, "DialupChange", "PC01", "KMC", false};
    EXPECT_EQ(Sends(), std::vector<Send>{question});

    Answer("DialupChange", "■ C", "PC01", "Taro");
    EXPECT_EQ(form.Settings.Target, "C");
    EXPECT_EQ(ReadFileBytes(IniPath()), "[Option]\r\nTarget=C\r\n");
    EXPECT_EQ(Statuses(), std::vector<std::string>{"-Control from Taro<PC01>-\r\r制御対象を「C」へ切り替えました。"});
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("■ 処理結果 ［制御先を 【C】 へ変更しました。\r\r", "切断", "PC01",
                                                  "23:00", "C")});
}

TEST_F(RemoteMenu, ChangeToAnEntryThatIsNotThere)
{
    // Removed since the list went out, or not an item of the list at all.
    for (const char* answer : {"■ Gone", "Office", "xx Office", "■ office", "■", ""}) {
        Answer("DialupChange", answer);
        EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("■ 処理結果 ［指定された制御先は存在しません］\r\r", "切断")})
            << answer;
    }
    EXPECT_EQ(form.Settings.Target, "Office");
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
    EXPECT_TRUE(Statuses().empty());
}

TEST_F(RemoteMenu, ShutdownQuestionAndItsAnswers)
{
    Answer("Menu", "End");
    const Send question{"SELECT", "【Kiv KestrelMesh Menu】\r\r制御先のPCをシャットダウンします。よろしいですか？",
                        "■ いいえ&:■ はい", "No&:Yes", "WindowsEnd", "PC01", "KMC", false};
    EXPECT_EQ(Sends(), std::vector<Send>{question});

    for (const char* answer : {"No", "yes", "", "■ はい"}) {
        Answer("WindowsEnd", answer);
        EXPECT_EQ(Sends(), std::vector<Send>{MainMenu("■ 処理結果 ［シャットダウン処理をキャンセルしました］\r\r", "切断")})
            << answer;
    }
    EXPECT_EQ(shutdown.requests, 0);

    shutdown.accepted = false;
    Answer("WindowsEnd", "Yes");
    EXPECT_EQ(Sends(), std::vector<Send>{MainMenu(
                           "■ 処理結果 ［不明な理由でシャットダウン処理が中止されました］\r\r", "切断")});
    shutdown.accepted = true;
    Answer("WindowsEnd", "Yes");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(
                           "【Kiv KestrelMesh Message】\r\n\r\nシャットダウン処理が開始されました。\r\n\r\n"
                           "制御先のKivがKestrelMeshからログアウトした後、制御先のPCが正常にシャットダウンされたかどうかを確認してください。")});
    EXPECT_EQ(shutdown.requests, 2);
}

TEST_F(RemoteMenu, UnknownKeysAndAnswersAreIgnored)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Menu", "Foo"}, {"Menu", "connect"}, {"menu", "Connect"}, {"Other", "x"}, {"", ""},
    };
    for (const auto& [key, answer] : cases) {
        Answer(key, answer);
        EXPECT_TRUE(Sends().empty()) << key << "/" << answer;
    }
    EXPECT_EQ(Dials(), 0);
    EXPECT_TRUE(Statuses().empty());
}

// With the password required, a console acts only after giving it, and only from the address
// it gave it from.
class RemotePassword : public RemoteMenu {
protected:
    RemotePassword()
    {
        form.Settings.KMSPasswordFlag = true;
        form.Settings.KMSPassword = "pw";
    }
    // PC01 gives the password from its own address.
    void LogInPC01()
    {
        kms.requestSource = "192.168.1.10";
        MenuFrom("PC01");
        Answer("Password", "pw");
        Sends();
    }
    // Every remote action, each answered on its own.
    struct Action {
        const char* key;
        const char* answer;
    };
    static constexpr Action kActions[] = {
        {"Menu", "Connect"},  {"Menu", "Deconnect"},      {"Menu", "Change"},        {"Menu", "End"},
        {"DialupChange", "■ A"}, {"DialupChange", "キャンセル"}, {"WindowsEnd", "Yes"}, {"WindowsEnd", "No"},
    };
};

TEST_F(RemotePassword, NoActionWithoutThePasswordOnlyItsPrompt)
{
    LogInPC01();
    ras.states["Office"] = 2;
    struct Who {
        const char* machine;
        const char* address;
    };
    // Never gave it; gave a wrong one; the name of a console that gave it, from elsewhere.
    const Who strangers[] = {{"PC09", "192.168.1.66"}, {"PC01", "192.168.1.66"}, {"PC01", "10.0.0.10"}};
    Answer("Password", "wrong", "PC09");
    Sends();
    for (const auto& who : strangers) {
        for (const auto& action : kActions) {
            kms.requestSource = who.address;
            Answer(action.key, action.answer, who.machine);
            EXPECT_EQ(Sends(), std::vector<Send>{PasswordPrompt(kPasswordPrompt, who.machine)})
                << who.machine << "@" << who.address << " " << action.key << "/" << action.answer;
        }
    }
    EXPECT_TRUE(ras.calls.empty());
    EXPECT_EQ(shutdown.requests, 0);
    EXPECT_EQ(form.Settings.Target, "Office");
    EXPECT_TRUE(Statuses().empty());

    // The console that gave it acts.
    kms.requestSource = "192.168.1.10";
    Answer("WindowsEnd", "Yes", "PC01");
    EXPECT_EQ(shutdown.requests, 1);
    Answer("Menu", "Deconnect", "PC01");
    EXPECT_EQ(ras.calls, std::vector<std::string>{"HangUpConnection 0"});
}

TEST_F(RemotePassword, RightEndsAtLogoutAfterTenQuietMinutesAndAtStop)
{
    const auto acts = [&] {
        kms.requestSource = "192.168.1.10";
        Answer("Menu", "End", "PC01");
        const auto sends = Sends();
        return sends.size() == 1 && sends[0].key == "WindowsEnd";
    };
    LogInPC01();
    // A LOGOUT under its name from another address is not its logout.
    kms.requestSource = "192.168.1.66";
    kms.PeerLogout("Taro", "PC01", "192.168.1.10", "KMC");
    EXPECT_TRUE(acts());
    kms.requestSource = "192.168.1.10";
    kms.PeerLogout("Taro", "PC01", "192.168.1.10", "KMC");
    EXPECT_FALSE(acts());

    // Messages keep the right alive; ten minutes without one end it, also across the tick's wrap.
    for (std::uint32_t start : {0u, 0xFFFF0000u}) {
        clock.time.now = start;
        LogInPC01();
        clock.time.now += kRemoteRightLifetimeMs - 1;
        EXPECT_TRUE(acts()) << start;
        clock.time.now += kRemoteRightLifetimeMs - 1;
        MenuFrom("PC01");  // asking for the menu counts as a message
        Sends();
        clock.time.now += kRemoteRightLifetimeMs - 1;
        EXPECT_TRUE(acts()) << start;
        clock.time.now += kRemoteRightLifetimeMs;
        EXPECT_FALSE(acts()) << start;
    }
    // The schedule's tick drops a lapsed right before the tick could wrap back onto it.
    LogInPC01();
    clock.time.now += kRemoteRightLifetimeMs;
    form.tmScheduleTimer();
    clock.time.now += 0xFFFFFFFFu - kRemoteRightLifetimeMs + 1;  // the tick is back where the right was given
    EXPECT_FALSE(acts());

    LogInPC01();
    form.FormDestroy();
    EXPECT_FALSE(form.RemoteConsoles.Holds("PC01", "192.168.1.10", clock.time.now));
}

TEST_F(RemotePassword, FlagOffLeavesEveryAnswerActing)
{
    form.Settings.KMSPasswordFlag = false;
    kms.requestSource = "192.168.1.66";
    Answer("WindowsEnd", "Yes", "PC09");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(kRemoteShutdownStarted, "PC09")});
    Answer("Menu", "Connect", "PC09");
    EXPECT_EQ(Sends(), std::vector<Send>{Message(kDialStartedOffice, "PC09")});
}

// Names from the wire are shown as text: the template's placeholders are filled, not the
// console's names, and the icon's action is the template's.
TEST_F(RemoteMenu, ConsoleNamesAreShownAsTheyAre)
{
    const std::string handle = "evil%A4%D%S";
    const std::string machine = "PC%67%A";
    form.Settings.StatusAlpha = false;  // shown and closed at once
    Answer("Menu", "Connect", machine, handle);
    Answer("DialupChange", "■ A", machine, handle);
    ASSERT_EQ(statusWindow.captions.size(), 1u);
    EXPECT_EQ(statusWindow.captions[0], "-Control from evil%A4%D%S<PC%67%A>-\r\r「Office」へのダイヤルアップを開始します。\r"
                                        "アイコンクリックでキャンセルすることができます。");
    EXPECT_EQ(form.imMainIconTag, 2);
    form.FormClick();
    form.tmFeedOutTimer();
    ASSERT_EQ(statusWindow.captions.size(), 2u);
    EXPECT_EQ(statusWindow.captions[1], "-Control from evil%A4%D%S<PC%67%A>-\r\r制御対象を「A」へ切り替えました。");
    EXPECT_EQ(form.imMainIconTag, 0);
    EXPECT_FALSE(form.imMainIconEnabled);
}

}  // namespace
}  // namespace kiv
