// What the main form writes to Kiv.log, event by event, in virtual time.
#include <gtest/gtest.h>

#include "Fakes.h"
#include "FileBytes.h"
#include "LogTexts.h"
#include "StatusTexts.h"

namespace kiv {
namespace {

using test::At;
using test::MainFormFixture;

class EventLogLines : public ::testing::Test, protected MainFormFixture {
protected:
    std::vector<std::string> Lines() const { return log.lines; }
    // The lines of one kind written since the last call.
    std::vector<std::string> Take(std::string_view kind)
    {
        std::vector<std::string> taken;
        const std::string head = "[" + std::string(kind) + "] ";
        for (const auto& line : log.lines)
            if (line.rfind(head, 0) == 0)
                taken.push_back(line.substr(head.size()));
        log.lines.clear();
        return taken;
    }
};

// A connection's whole life on one time line: dial, connect, drop after 1:01:01, keep-alive
// redial, failure with the service's code, redial, hang-up with the duration.
TEST_F(EventLogLines, ADialUpDayInVirtualTime)
{
    ras.entries = {"T"};
    form.Settings.Target = "T";
    form.Settings.Keep = true;
    form.Settings.Redial = true;
    form.Settings.RedialCount = 2;
    form.Settings.RedialInterval = 5;
    form.miTaskConnectClick();
    clock.time.RunFor(3000);
    ras.states["T"] = kEntryConnected;
    ras.OnConnect("T");
    EXPECT_EQ(Take(kLogLine),
              (std::vector<std::string>{"「T」へのダイヤルを開始しました（手動）。", "「T」へ接続しました。"}));

    clock.time.RunFor((3600 + 60 + 1) * 1000);
    ras.states["T"] = kEntryIdle;  // the line drops
    form.tmScheduleTimer();
    EXPECT_EQ(Take(kLogLine), std::vector<std::string>{"「T」の回線が切れました（接続時間 1:01:01）。"});

    form.tmConnectTimer();  // the keep-alive redial
    ras.states["T"] = kEntryIdle;
    ras.OnConnectError("T", {678, "応答がありません。"});
    EXPECT_EQ(Take(kLogLine),
              (std::vector<std::string>{"「T」へのダイヤルを開始しました（リダイヤル 1回目）。",
                                        "「T」へのダイヤルに失敗しました。エラー 678: 応答がありません。"}));
    // The code and text follow the unchanged message on a line of its own.
    EXPECT_EQ(form.StatusQueue.back().Text,
              "「T」へのダイヤルアップに失敗しました。\r5秒後にリダイヤルします（残り1回）。\r"
              "アイコンクリックでリダイヤルをキャンセルすることができます。\rエラー 678: 応答がありません。");

    form.tmConnectTimer();
    ras.states["T"] = kEntryConnected;
    ras.OnConnect("T");
    clock.time.RunFor(90 * 1000);
    form.miTaskDeconnectClick();
    clock.time.RunFor(500);
    ras.Release();
    EXPECT_EQ(Take(kLogLine),
              (std::vector<std::string>{"「T」へのダイヤルを開始しました（リダイヤル 2回目）。",
                                        "「T」へ接続しました。", "「T」から切断しました（接続時間 0:01:30）。"}));
    form.tmScheduleTimer();  // the line is gone: no drop is logged for it
    EXPECT_TRUE(Take(kLogLine).empty());
}

TEST_F(EventLogLines, RefusedDialCancelAndFailedHangUp)
{
    ras.entries = {"T"};
    form.Settings.Target = "T";
    ras.dialSucceeds = false;
    ras.refusal = {633, "ポートは使用中です。"};
    form.miTaskConnectClick();
    EXPECT_EQ(form.StatusQueue.back().Text,
              "「T」へのダイヤルアップに失敗しました。\r"
              "アイコンクリックで再度ダイヤルアップを開始することができます。\r"
              "エラー 633: ポートは使用中です。");
    ras.dialSucceeds = true;
    form.ConnectRequested = false;
    form.miTaskConnectClick();
    form.miTaskDeconnectClick();  // cancels the dial
    ras.Release();
    ras.states["T"] = kEntryIdle;
    ras.OnConnectError("T", {631, "ユーザーが切断しました。"});
    ras.states["T"] = kEntryConnected;
    ras.hangUpSucceeds = false;
    form.miTaskDeconnectClick();
    EXPECT_EQ(Take(kLogLine), (std::vector<std::string>{
                                  "「T」へのダイヤルを開始できませんでした（手動）。エラー 633: ポートは使用中です。",
                                  "「T」へのダイヤルを開始しました（手動）。",
                                  "「T」へのダイヤルをキャンセルしました。",
                                  "「T」から切断できませんでした。回線はつながったままです。",
                              }));
}

// A line up when Kiv starts is watched from then on; one still up at exit is said to be left up.
TEST_F(EventLogLines, ALineUpAtStartAndLeftUpAtExit)
{
    ras.entries = {"T"};
    ras.states["T"] = kEntryConnected;
    ASSERT_EQ(WriteFileBytes(IniPath(), "[Option]\r\nTarget=T\r\n"), FileError{});
    form.FormCreate();
    clock.time.RunFor(7200 * 1000);
    form.FormDestroy();
    EXPECT_EQ(Take(kLogLine),
              std::vector<std::string>{
                  "「T」を接続したまま、Kivを終了します（接続時間 2:00:00 以上: Kivの起動前から接続）。"});
}

TEST_F(EventLogLines, TheScheduleSaysWhatItDecided)
{
    ras.entries = {"T"};
    form.Settings.Target = "T";
    form.Settings.AutoStart = true;
    form.Settings.AutoStartHour = 23;
    form.Settings.AutoEnd = true;
    form.Settings.AutoEndHour = 7;
    form.Settings.AutoEndMinute = 5;
    form.Settings.AutoDisconnectTimeReset = true;
    // A tick at `to`, the one before it at `from`: each scheduled time acts once, so a time is
    // seen again on the next day of the fake calendar.
    auto tick = [&](LocalTime from, LocalTime to) {
        clock.SetLocal(from);
        form.Schedule.Restart(clock.LocalNow(), clock.TickCount());
        clock.SetLocal(to);
        form.tmScheduleTimer();
    };
    tick(At(22, 59, 59), At(23, 0));
    EXPECT_EQ(Take(kLogSchedule), std::vector<std::string>{"開始時刻 23:00: 「T」へダイヤルします。"});
    tick(At(22, 59, 59, 1), At(23, 0, 0, 1));
    EXPECT_EQ(Take(kLogSchedule), std::vector<std::string>{"開始時刻 23:00: 「T」はダイヤル中か接続中です。"});
    ras.states["T"] = kEntryConnected;
    tick(At(7, 4, 49), At(7, 4, 50));
    EXPECT_EQ(Take(kLogSchedule), std::vector<std::string>{"終了時刻 7:05 の10秒前: 「T」の切断を予告します。"});
    form.SkipAutoDisconnect = true;
    tick(At(7, 4, 59), At(7, 5));
    EXPECT_EQ(Take(kLogSchedule),
              std::vector<std::string>{"終了時刻 7:05: 自動切断は取り消されているので、「T」を切断しません。"});
    shutdown.accepted = false;
    tick(At(7, 4, 59, 1), At(7, 5, 0, 1));
    ras.Release();
    EXPECT_EQ(Take(kLogSchedule), (std::vector<std::string>{"終了時刻 7:05: 「T」を切断します。", kLogShutdownRequested,
                                                            kLogShutdownRefused}));
}

TEST_F(EventLogLines, TheStartUpRuleOutsideItsWindow)
{
    ras.entries = {"T"};
    ASSERT_EQ(WriteFileBytes(IniPath(),
                             "[Option]\r\nTarget=T\r\nAutoConnectRun=1\r\nAutoConnectRunTime=1\r\n"
                             "AutoStart=1\r\nAutoEnd=1\r\nAutoStartHour=23\r\nAutoEndHour=7\r\n"),
              FileError{});
    clock.SetLocal(At(12, 0));
    form.FormCreate();
    EXPECT_EQ(Take(kLogSchedule), std::vector<std::string>{kLogStartupOutsideWindow});
}

// Each request of a console, with its name, address and user; refusals with their reason; a
// password never, not even its length.
TEST_F(EventLogLines, RemoteRequestsAndRefusals)
{
    ras.entries = {"T"};
    form.Settings.Target = "T";
    form.Settings.KMSComputer = true;
    form.AllowedComputers = {"PC01"};
    form.Settings.KMSPasswordFlag = true;
    form.Settings.KMSPassword = "s3cret!";
    kms.requestSource = "192.168.1.20";
    kms.MenuRequest("Jiro", "EVIL", "KMC");
    kms.requestSource = "192.168.1.10";
    kms.MenuRequest("Taro", "PC01", "KMC");
    kms.InputReturn("Password", "wrong-guess", "Taro", "PC01", "KMC");
    kms.InputReturn("Password", "s3cret!", "Taro", "PC01", "KMC");
    kms.InputReturn("Menu", "Connect", "Taro", "PC01", "KMC");
    kms.InputReturn("Menu", "Deconnect", "Hanako", "PC02", "KMC");
    kms.InputReturn("Odd", "s3cret!", "Taro", "PC01", "KMC");
    const auto lines = Lines();
    EXPECT_EQ(log.With("[回線]"),
              std::vector<std::string>{"[回線] 「T」へのダイヤルを開始しました（リモート: PC01）。"});
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        EXPECT_EQ(line.find("wrong-guess"), std::string::npos) << line;
        EXPECT_EQ(line.find(std::to_string(std::string("s3cret!").size()) + "文字"), std::string::npos) << line;
    }
    EXPECT_EQ(Take(kLogRemote),
              (std::vector<std::string>{
                  "EVIL（192.168.1.20、Jiro）: メニューを求めました。",
                  "EVIL（192.168.1.20、Jiro）: 拒否しました。許可されたコンピュータではありません。",
                  "PC01（192.168.1.10、Taro）: メニューを求めました。",
                  "PC01（192.168.1.10、Taro）: パスワードを求めます。",
                  "PC01（192.168.1.10、Taro）: パスワードを入力しました。",
                  "PC01（192.168.1.10、Taro）: 断りました。パスワードが違います。",
                  "PC01（192.168.1.10、Taro）: パスワードを入力しました。",
                  "PC01（192.168.1.10、Taro）: パスワードを確認しました。",
                  "PC01（192.168.1.10、Taro）: 接続を求めました。",
                  "PC02（192.168.1.10、Hanako）: 切断を求めました。",
                  "PC02（192.168.1.10、Hanako）: 拒否しました。許可されたコンピュータではありません。",
                  "PC01（192.168.1.10、Taro）: Kivの知らない問い「Odd」に答えました。",
              }));
    EXPECT_EQ(form.RemoteMachineName, "PC01");
}

TEST_F(EventLogLines, StartStatusMessagesAndExit)
{
    ras.entries = {"T"};
    form.FormCreate();
    EXPECT_EQ(log.path, dir.File("Kiv.log"));
    form.FormDestroy();
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           std::string("[Kiv] ") + kLogStarted,
                           "[設定] Kiv.INIがないので、既定の設定で起動します。",
                           "[表示] -Welcome to Kiv- /  / 現在、「T」へは接続されていません。 / "
                           "アイコンクリックでダイヤルアップを開始することができます。（アイコンの操作: 接続）",
                           std::string("[Kiv] ") + kLogEnded,
                       }));
}

// A log that cannot be written is said once in the status window, with its path and the
// reason; Kiv goes on, and says it again only after the log has been written meanwhile.
TEST_F(EventLogLines, ALogThatCannotBeWrittenIsSaidOnce)
{
    log.failure = {FileFailure::AccessDenied, 5};
    ras.entries = {"T"};
    form.FormCreate();
    const std::string said = std::string(kStatusLogFailed) + "\r" + dir.File("Kiv.log") +
                             "\r書き込みが許可されていません (エラー 5)";
    ASSERT_FALSE(form.StatusQueue.empty());
    EXPECT_EQ(form.StatusQueue.front().Text, said);
    EXPECT_EQ(form.StatusQueue.size(), 2u);  // and the welcome after it
    form.ShowStatus(kStatusConnected);
    EXPECT_EQ(form.StatusQueue.size(), 3u);
    EXPECT_TRUE(Lines().empty());

    log.failure = {};
    form.ShowStatus(kStatusDisconnected);
    log.failure = {FileFailure::DiskFull, 112};
    form.ShowStatus(kStatusConnected);
    EXPECT_EQ(Lines(), std::vector<std::string>{"[表示] 「T」から切断しました。"});
    ASSERT_EQ(form.StatusQueue.size(), 6u);
    EXPECT_EQ(form.StatusQueue.back().Text, std::string(kStatusLogFailed) + "\r" + dir.File("Kiv.log") +
                                                "\rディスクの空き容量が足りません (エラー 112)");
}

}  // namespace
}  // namespace kiv
