#include <filesystem>
#include <gtest/gtest.h>

#include "Fakes.h"
#include "LogTexts.h"
#include "FileBytes.h"
#include "TimeOfDay.h"
#include "StatusLayout.h"
#include "StatusMessage.h"
#include "StatusTexts.h"
#include "TextHelpers.h"
#include "TrayImage.h"

namespace kiv {
namespace {

using test::MainFormFixture;

// A composed message as it stands in the queue: without its action code.
std::string Displayed(const std::string& message) { return ParseStatusTemplate(message).Text; }

class MainFormStartup : public ::testing::Test, protected MainFormFixture {
protected:
    void WriteIni(const std::string& body) { ASSERT_EQ(WriteFileBytes(IniPath(), "[Option]\r\n" + body), FileError{}); }
    std::string Welcome() const { return form.StatusQueue.empty() ? "<none>" : form.StatusQueue.front().Text; }
};

TEST_F(MainFormStartup, WithoutRemoteAccessOnlyTheMessageBoxAppears)
{
    ras.serviceError = true;
    form.FormCreate();
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text, kRasMissingText);
    EXPECT_EQ(app.boxes[0].caption, "Kiv");
    EXPECT_EQ(app.boxes[0].flags, 48u);
    EXPECT_TRUE(app.terminated);
    EXPECT_TRUE(tray.added.empty());
    EXPECT_FALSE(tmSchedule.Enabled());
    EXPECT_TRUE(statusWindow.captions.empty());
    EXPECT_FALSE(form.Created());

    form.FormDestroy();  // on a form that never finished its creation
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
    EXPECT_TRUE(statusWindow.captions.empty());
}

TEST_F(MainFormStartup, EmptyPhonebookNoFile)
{
    form.FormCreate();
    EXPECT_EQ(form.AppDir, dir.File(""));
    EXPECT_EQ(vss.DefaultIniFilePath, IniPath());
    EXPECT_FALSE(vss.SetLayeredWindowEvent());
    EXPECT_EQ(form.Settings.Target, "");
    EXPECT_EQ(form.TargetEntryIndex(), -1);
    EXPECT_EQ(tray.added, std::vector<std::string>{kTrayIcon16});  // version query failed
    EXPECT_TRUE(tmSchedule.Enabled());
    EXPECT_EQ(Welcome(), Displayed(std::string("-Welcome to Kiv-\r\r") + kStatusNoTarget));
    EXPECT_EQ(form.imMainIconTag, 3);
    EXPECT_EQ(statusWindow.captions.size(), 1u);
    EXPECT_TRUE(kms.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
}

TEST_F(MainFormStartup, TargetStateDecidesTheConnectionLine)
{
    struct Case {
        int state;
        bool autoConnect;
        bool dialSucceeds;
        const char* line;
        bool connectRequested;
        bool dialled;
    };
    const Case cases[] = {
        {2, true, true, kStatusStateConnected, true, false},
        {1, true, true, kStatusStateDialling, true, false},
        {0, false, true, kStatusStateIdle, false, false},
        {0, true, true, kStatusDialStarted, true, true},
        {0, true, false, kStatusDialFailed, true, true},
    };
    for (const Case& c : cases) {
        MainFormFixture f;
        f.ras.entries = {"A", "接続先", "接続先"};
        f.ras.states["接続先"] = c.state;
        f.ras.dialSucceeds = c.dialSucceeds;
        f.form.RedialDone = 5;
        ASSERT_EQ(WriteFileBytes(f.IniPath(), std::string("[Option]\r\nTarget=接続先\r\nAutoConnectRun=") +
                                                  (c.autoConnect ? "1" : "0") + "\r\n"),
                  FileError{});
        f.form.FormCreate();
        std::string line = c.line;
        ReplaceText("%D", "接続先", line);
        EXPECT_EQ(f.form.StatusQueue.front().Text, Displayed("-Welcome to Kiv-\r\r" + line)) << c.state;
        EXPECT_EQ(f.form.ConnectRequested, c.connectRequested) << c.state;
        // The last of two entries of the same name is the target.
        EXPECT_EQ(f.ras.calls, c.dialled ? std::vector<std::string>{"Dial 2"} : std::vector<std::string>{});
        EXPECT_EQ(f.form.RedialDone, c.dialled ? 0 : 5);
    }
}

TEST_F(MainFormStartup, KestrelMeshLogin)
{
    struct Case {
        bool start, login;
        const char* body;
        const char* line;
        std::vector<std::string> calls;
        int port;
    };
    const Case cases[] = {
        {true, true, "KMSLogin=1\r\n", kStatusKMSLoggedIn, {"Start", "Login"}, 51000},
        {true, true, "KMSLogin=1\r\nKMSPort=1\r\nKMSPortNo=52001\r\n", kStatusKMSLoggedIn, {"Start", "Login"}, 52001},
        {true, true, "KMSLogin=1\r\nKMSPort=1\r\nKMSPortNo=80\r\n", kStatusKMSLoggedIn, {"Start", "Login"}, 51000},
        {false, true, "KMSLogin=1\r\n", kStatusKMSLoginFailed, {"Start", "Stop"}, 51000},
        {true, false, "KMSLogin=1\r\n", kStatusKMSLoginFailed, {"Start", "Login", "Stop"}, 51000},
    };
    for (const Case& c : cases) {
        MainFormFixture f;
        f.kms.startSucceeds = c.start;
        f.kms.loginSucceeds = c.login;
        ASSERT_EQ(WriteFileBytes(f.IniPath(), std::string("[Option]\r\n") + c.body), FileError{});
        f.form.FormCreate();
        EXPECT_EQ(f.form.StatusQueue.front().Text,
                  Displayed(std::string("-Welcome to Kiv-\r\r") + c.line + "\r" + kStatusNoTarget)) << c.body;
        EXPECT_EQ(f.kms.calls, c.calls) << c.body;
        EXPECT_EQ(f.kms.port, c.port) << c.body;
        EXPECT_EQ(f.kms.handleName, c.start ? "Kiv" : "");
    }
}

TEST(ChooseTrayIcon, ByVersion)
{
    EXPECT_STREQ(ChooseTrayIcon(std::nullopt), kTrayIcon16);
    EXPECT_STREQ(ChooseTrayIcon(OsVersion{1, 4, 90}), kTrayIcon256);  // Me
    EXPECT_STREQ(ChooseTrayIcon(OsVersion{1, 4, 10}), kTrayIcon16);   // 98
    EXPECT_STREQ(ChooseTrayIcon(OsVersion{2, 5, 1}), kTrayIcon256);   // XP
    EXPECT_STREQ(ChooseTrayIcon(OsVersion{2, 5, 0}), kTrayIcon16);    // 2000
    EXPECT_STREQ(ChooseTrayIcon(OsVersion{2, 10, 0}), kTrayIcon16);
}

TEST_F(MainFormStartup, DestroyLogsOutAndDisconnectsWhenAsked)
{
    struct Case {
        int state;
        bool cancel, hangUp;
        std::vector<std::string> calls;
        bool failureShown;
    };
    const Case cases[] = {
        {2, true, true, {"HangUpConnection 0"}, false},
        {2, true, false, {"HangUpConnection 0"}, true},
        {1, true, true, {"CancelDial"}, false},
        // A dialling target is listed too: a failed cancel falls back to hanging it up.
        {1, false, true, {"CancelDial", "HangUpConnection 0"}, false},
        {1, false, false, {"CancelDial", "HangUpConnection 0"}, true},
        {0, false, false, {}, false},
    };
    for (const Case& c : cases) {
        MainFormFixture f;
        f.ras.entries = {"T"};
        f.ras.states["T"] = c.state;
        f.ras.cancelSucceeds = c.cancel;
        f.ras.hangUpSucceeds = c.hangUp;
        ASSERT_EQ(WriteFileBytes(f.IniPath(), "[Option]\r\nTarget=T\r\nAutoDisconnectEnd=1\r\nKMSLogin=1\r\n"),
                  FileError{});
        f.form.FormCreate();
        f.ras.calls.clear();
        f.kms.calls.clear();
        f.statusWindow.captions.clear();
        f.form.StatusQueue.clear();
        bool closed = false;
        f.form.FormClose([&] { closed = true; });
        EXPECT_EQ(f.kms.calls, (std::vector<std::string>{"Logout", "Stop"}));
        EXPECT_FALSE(f.form.ConnectRequested);
        EXPECT_EQ(f.ras.calls, c.calls) << c.state;
        // The window goes once the hang-up the service took has ended.
        EXPECT_EQ(closed, f.ras.hangingUp.empty()) << c.state;
        f.ras.Release(c.hangUp);
        EXPECT_TRUE(closed) << c.state;
        // A failed hang-up is told in a box, which the user sees before the window goes.
        EXPECT_TRUE(f.statusWindow.captions.empty()) << c.state;
        ASSERT_EQ(f.app.boxes.size(), c.failureShown ? 1u : 0u) << c.state;
        if (c.failureShown) {
            EXPECT_EQ(f.app.boxes[0].text, "「T」からの切断に失敗しました。\r回線は接続されたままです。");
        }
        f.form.FormDestroy();
        EXPECT_EQ(f.kms.calls.size(), 2u);  // closed once
        EXPECT_EQ(f.tray.deletes, 1);
    }
}

// The session ends with the line up and "disconnect at exit" set: the hang-up is settled within
// the limit the session allows, confirmed or not; the report says which.
TEST(MainFormEndSession, HangsUpAndSettlesWithinTheLimit)
{
    struct Case {
        const char* what;
        int state;
        bool disconnectAtExit;
        bool released;
        std::vector<std::string> calls;
        SessionEndReport report;
    };
    const std::string settle = "SettleHangUps " + std::to_string(kSessionEndLimitMs);
    const Case cases[] = {
        {"confirmed", 2, true, true, {"HangUpConnection 0", settle}, {true, true}},
        {"never confirmed", 2, true, false, {"HangUpConnection 0", settle}, {true, false}},
        {"a dial cancelled", 1, true, true, {"CancelDial", settle}, {true, true}},
        {"no disconnect at exit", 2, false, true, {}, {false, false}},
        {"not connected", 0, true, true, {}, {false, false}},
    };
    for (const Case& c : cases) {
        MainFormFixture f;
        f.ras.entries = {"T"};
        f.ras.states["T"] = c.state;
        f.ras.settleReleases = c.released;
        const std::string ini = std::string("[Option]\r\nTarget=T\r\nAutoDisconnectEnd=") +
                                (c.disconnectAtExit ? "1" : "0") + "\r\nKMSLogin=1\r\n";
        ASSERT_EQ(WriteFileBytes(f.IniPath(), ini), FileError{});
        f.form.FormCreate();
        f.ras.calls.clear();
        f.kms.calls.clear();
        const SessionEndReport report = f.form.FormEndSession();
        EXPECT_EQ(f.kms.calls, (std::vector<std::string>{"Logout", "Stop"})) << c.what;
        EXPECT_EQ(f.ras.calls, c.calls) << c.what;
        EXPECT_EQ(report.HangUp, c.report.HangUp) << c.what;
        EXPECT_EQ(report.Confirmed, c.report.Confirmed) << c.what;
        EXPECT_EQ(f.tray.deletes, 1) << c.what << ": the icon goes before the wait";
        f.form.FormDestroy();
        EXPECT_EQ(f.kms.calls.size(), 2u) << c.what << ": closed once";
    }
}

TEST(MainFormEndSession, TheLogSaysWhetherTheHangUpWasConfirmed)
{
    EXPECT_EQ(SessionEndNote({false, false, 0}, "T"), "");
    EXPECT_EQ(SessionEndNote({true, true, 512}, "T"), "Windowsの終了で「T」を切断しました（0.5秒）。");
    EXPECT_EQ(SessionEndNote({true, false, 3049}, "東京"),
              "Windowsの終了で「東京」を切断しましたが、3.0秒のうちに切断の完了を確かめられませんでした。");
}

// The log tells the session's end, and of the hang-up whether the service confirmed it.
TEST(MainFormEndSession, LogsTheEndAndTheHangUp)
{
    for (const bool releases : {true, false}) {
        MainFormFixture f;
        f.ras.entries = {"T"};
        f.ras.states["T"] = 2;
        f.ras.settleReleases = releases;
        ASSERT_EQ(WriteFileBytes(f.IniPath(), "[Option]\r\nTarget=T\r\nAutoDisconnectEnd=1\r\n"), FileError{});
        f.form.FormCreate();
        const SessionEndReport report = f.form.FormEndSession();
        EXPECT_EQ(f.log.With("[システム]"), std::vector<std::string>{std::string("[システム] ") + kLogSessionEnding});
        EXPECT_EQ(f.log.With("Windowsの終了で"), std::vector<std::string>{"[回線] " + SessionEndNote(report, "T")});
        // A confirmed hang-up also ends the line's own record, with its duration.
        EXPECT_EQ(f.log.With("から切断しました（接続時間").size(), releases ? 1u : 0u);
        EXPECT_EQ(f.log.With("確かめられませんでした").size(), releases ? 0u : 1u);
    }
}

// A hang-up the service refuses at the session's end: no box can wait for the user then (the
// session would hang on it), so the log says it.
TEST(MainFormEndSession, AFailedHangUpIsLoggedNotShownInABox)
{
    MainFormFixture f;
    f.ras.entries = {"T"};
    f.ras.states["T"] = kEntryConnected;
    f.ras.hangUpSucceeds = false;
    ASSERT_EQ(WriteFileBytes(f.IniPath(), "[Option]\r\nTarget=T\r\nAutoDisconnectEnd=1\r\n"), FileError{});
    f.form.FormCreate();
    f.form.FormEndSession();
    EXPECT_TRUE(f.app.boxes.empty());
    EXPECT_EQ(f.log.With("回線は接続されたままです").size(), 1u);
}

// A shell slow to take the tray icon's removal leaves the hang-up the rest of the limit.
TEST(MainFormEndSession, TheWaitGetsWhatTheRestLeaves)
{
    for (const std::uint32_t removal : {1500u, 5000u}) {
        MainFormFixture f;
        f.ras.entries = {"T"};
        f.ras.states["T"] = 2;
        f.ras.settleReleases = false;
        ASSERT_EQ(WriteFileBytes(f.IniPath(), "[Option]\r\nTarget=T\r\nAutoDisconnectEnd=1\r\n"), FileError{});
        f.form.FormCreate();
        f.tray.onDelete = [&] { f.clock.time.now += removal; };
        const SessionEndReport report = f.form.FormEndSession();
        const std::uint32_t left = removal < kSessionEndLimitMs ? kSessionEndLimitMs - removal : 0;
        EXPECT_EQ(f.ras.calls.back(), "SettleHangUps " + std::to_string(left));
        EXPECT_FALSE(report.Confirmed);
        EXPECT_EQ(report.WaitedMs, removal);
    }
}

// The user chose to exit and the hang-up still runs when the session ends: that one is settled.
TEST(MainFormEndSession, SettlesTheCloseUnderWay)
{
    MainFormFixture f;
    f.ras.entries = {"T"};
    f.ras.states["T"] = 2;
    ASSERT_EQ(WriteFileBytes(f.IniPath(), "[Option]\r\nTarget=T\r\nAutoDisconnectEnd=1\r\n"), FileError{});
    f.form.FormCreate();
    bool closed = false;
    f.form.FormClose([&] { closed = true; });
    f.ras.calls.clear();
    const SessionEndReport report = f.form.FormEndSession();
    EXPECT_EQ(f.ras.calls, (std::vector<std::string>{"SettleHangUps 4000"}));
    EXPECT_TRUE(report.Confirmed);
    EXPECT_TRUE(closed);
}

TEST_F(MainFormStartup, ShowStatusFillsPlaceholdersOnce)
{
    form.FormCreate();
    form.StatusQueue.clear();
    form.Settings.Target = "名前%D";
    form.Settings.RedialInterval = 5;
    form.Settings.RedialCount = 3;
    form.RedialDone = 1;
    form.ShowStatus("「%D」%S秒（残り%C回）%D");
    ASSERT_EQ(form.StatusQueue.size(), 1u);
    EXPECT_EQ(form.StatusQueue[0].Text, "「名前%D」5秒（残り2回）名前%D");

    form.Settings.StatusLocate = 0;  // not shown: queued messages are dropped
    form.StatusQueue.push_back({"waiting"});
    form.DisplayNextStatus();
    EXPECT_TRUE(form.StatusQueue.empty());
}

}  // namespace
}  // namespace kiv
