#include <filesystem>
#include <gtest/gtest.h>

#include "Fakes.h"
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
