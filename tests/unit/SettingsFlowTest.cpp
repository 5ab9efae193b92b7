// Kiv.INI seen from the main form: a save that does not reach the disk is a failure wherever
// the save came from, and a file that exists but cannot be read at start is never written
// over; the start waits for it.
#include <gtest/gtest.h>

#include "FakeFiles.h"
#include "Fakes.h"
#include "OptionLogic.h"
#include "StatusTexts.h"

namespace kiv {
namespace {

// The user's file: every key unlike its default.
constexpr char kUserFile[] =
    "[Option]\r\nTarget=B\r\nRedial=1\r\nKeep=1\r\nRedialCount=7\r\nRedialInterval=9\r\nAutoEnd=1\r\n"
    "AutoEndHour=6\r\nAutoEndMinute=30\r\nStatusLocate=1\r\nKMSComputer=1\r\nKMSComputerList=3C7C7D6E\r\n"
    "WriteLog=1\r\n";

class SettingsFlow : public ::testing::Test, protected test::MainFormFixture {
protected:
    SettingsFlow()
    {
        ras.entries = {"A", "B"};
        vss.Files = &files;
    }
    std::string File() { return ReadFileBytes(IniPath()).value_or("<missing>"); }
    std::vector<std::string> Take(std::string_view kind)
    {
        std::vector<std::string> taken;
        for (const auto& line : log.lines)
            if (line.rfind("[" + std::string(kind) + "] ", 0) == 0)
                taken.push_back(line.substr(kind.size() + 3));
        log.lines.clear();
        return taken;
    }
    // The status message that says a save failed, for this reason.
    std::string SaveFailed(const std::string& reason)
    {
        return std::string(kSettingsSaveFailed) + "\r" + IniPath() + "\r" + reason + "\r" + kSettingsKept;
    }

    // No call of the save's road has written anything.
    bool NothingWritten() const
    {
        for (const auto& call : files.calls)
            if (call.rfind("remove", 0) != 0)
                return false;
        return true;
    }

    test::RecordingFiles files;
};

TEST_F(SettingsFlow, AFailedSaveIsAFailureForTheDialogTheTrayAndTheLog)
{
    ASSERT_EQ(WriteFileBytes(IniPath(), kUserFile), FileError{});
    form.FormCreate();
    EXPECT_EQ(form.Settings.RedialInterval, 9);
    form.StatusQueue.clear();
    log.lines.clear();
    files.writeError = {FileFailure::AccessDenied, 5};  // the folder may not be written

    OptionControls controls = OptionControlsFromSettings(form.Settings, "B");
    controls.Text(&TSettings::RedialInterval) = "30";
    const auto failure = form.ApplyOptions(controls, form.AllowedComputers);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(*failure, SaveFailed("書き込みが許可されていません (エラー 5)"));
    EXPECT_EQ(form.Settings.RedialInterval, 30);  // in force for this run
    EXPECT_EQ(Take(kLogSettings),
              std::vector<std::string>{"Kiv.INIに保存できませんでした: 書き込みが許可されていません (エラー 5)"
                                       "（RedialInterval）。変更した設定は、Kivを終了するまで有効です。"});

    files.writeError = {FileFailure::DiskFull, 112};
    form.miTaskTargetChildClick("A");
    ASSERT_EQ(form.StatusQueue.size(), 2u);
    EXPECT_EQ(form.StatusQueue.back().Text, SaveFailed("ディスクの空き容量が足りません (エラー 112)"));
    EXPECT_EQ(form.Settings.Target, "A");
    EXPECT_EQ(File(), kUserFile);

    // When the disk takes it again, the save says which keys it changed.
    files.writeError = {};
    log.lines.clear();
    EXPECT_FALSE(form.ApplyOptions(OptionControlsFromSettings(form.Settings, "A"), form.AllowedComputers));
    EXPECT_EQ(Take(kLogSettings), std::vector<std::string>{"Kiv.INIに保存しました（Target, RedialInterval）。"});
}

// Another program holds Kiv.INI while Kiv starts and lets it go 3 s later: Kiv waits, reads
// every key of the user's, and has written nothing meanwhile.
TEST_F(SettingsFlow, AFileHeldAtStartIsWaitedForAndKeepsEveryKey)
{
    ASSERT_EQ(WriteFileBytes(IniPath(), kUserFile), FileError{});
    files.readError = {FileFailure::InUse, 32};
    form.FormCreate();
    EXPECT_TRUE(form.WaitingForSettings());
    EXPECT_FALSE(form.Created());
    EXPECT_TRUE(tray.added.empty());
    ASSERT_EQ(form.StatusQueue.size(), 1u);
    EXPECT_EQ(form.StatusQueue.front().Text, std::string(kStatusSettingsWaiting) + "\r" + IniPath() +
                                                 "\rほかのプログラムがファイルを使用中です (エラー 32)");
    clock.time.RunFor(1000);
    form.tmScheduleTimer();
    clock.time.RunFor(1000);
    form.tmScheduleTimer();
    files.readError = {};
    clock.time.RunFor(1000);
    form.tmScheduleTimer();
    EXPECT_FALSE(form.WaitingForSettings());
    EXPECT_TRUE(form.Created());
    EXPECT_EQ(tray.added.size(), 1u);
    EXPECT_TRUE(NothingWritten());
    EXPECT_EQ(File(), kUserFile);
    TSettings expected;
    StringList allowed;
    LoadSettingsFrom(IniText(kUserFile), "A", true, expected, allowed);
    EXPECT_EQ(form.Settings, expected);
    EXPECT_EQ(form.AllowedComputers, allowed);
    EXPECT_EQ(Take(kLogSettings), (std::vector<std::string>{
                                      "Kiv.INIを読み込めません（ほかのプログラムがファイルを使用中です (エラー 32)）。"
                                      "読み込めるまで起動を待ちます。",
                                      "Kiv.INIを読み込みました（3秒待ちました）。"}));
}

// Still held after the wait: the user decides. Retry waits again, Ignore starts on defaults
// (and only then may a save write the file), Abort ends Kiv.
TEST_F(SettingsFlow, AFileStillHeldIsTheUsersDecision)
{
    ASSERT_EQ(WriteFileBytes(IniPath(), kUserFile), FileError{});
    files.readError = {FileFailure::InUse, 32};
    form.FormCreate();
    app.answer = kIdRetry;
    for (int second = 1; second <= 30; ++second) {
        clock.time.RunFor(1000);
        form.tmScheduleTimer();
    }
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].flags, kMbAbortRetryIgnore | kMbIconExclamation);
    EXPECT_EQ(app.boxes[0].text, std::string(kSettingsUnreadableQuestion) + "\r" + IniPath() +
                                     "\rほかのプログラムがファイルを使用中です (エラー 32)\r\r" +
                                     kSettingsUnreadableChoices);
    EXPECT_TRUE(tmSchedule.Enabled());
    clock.time.RunFor(1000);
    form.tmScheduleTimer();
    EXPECT_EQ(app.boxes.size(), 1u);  // the wait starts again

    app.answer = kIdIgnore;
    for (int second = 1; second <= 30; ++second) {
        clock.time.RunFor(1000);
        form.tmScheduleTimer();
    }
    EXPECT_EQ(app.boxes.size(), 2u);
    EXPECT_TRUE(form.Created());
    EXPECT_EQ(form.Settings.Target, "A");  // the defaults
    EXPECT_EQ(File(), kUserFile);
    EXPECT_TRUE(NothingWritten());
    files.readError = {};
    EXPECT_FALSE(form.ApplyOptions(OptionControlsFromSettings(form.Settings, "A"), {}));
    // Chosen by the user: a save writes the defaults over the file now.
    EXPECT_NE(File().find("RedialInterval=5\r\n"), std::string::npos);

    test::MainFormFixture other;
    other.ras.entries = {"A"};
    ASSERT_EQ(WriteFileBytes(other.IniPath(), kUserFile), FileError{});
    test::RecordingFiles held;
    held.readError = {FileFailure::InUse, 32};
    other.vss.Files = &held;
    other.app.answer = kIdAbort;
    other.form.FormCreate();
    other.clock.time.RunFor(31000);
    other.form.tmScheduleTimer();
    EXPECT_TRUE(other.app.terminated);
    EXPECT_FALSE(other.form.Created());
    EXPECT_EQ(ReadFileBytes(other.IniPath()), kUserFile);
}

// A save written in place and cut short by a kill: the next start puts back what the file
// held before it, and says so.
TEST_F(SettingsFlow, TheStartUndoesASaveCutShort)
{
    ASSERT_EQ(WriteFileBytes(IniPath(), "[Option]\r\nTarget=B\r\nRedi"), FileError{});
    ASSERT_EQ(WriteFileBytes(IniPath() + ".undo", kUserFile), FileError{});
    ASSERT_EQ(WriteFileBytes(IniPath() + ".new", "[Opt"), FileError{});
    form.FormCreate();
    EXPECT_EQ(File(), kUserFile);
    EXPECT_FALSE(ReadFileBytes(IniPath() + ".undo").has_value());
    EXPECT_FALSE(ReadFileBytes(IniPath() + ".new").has_value());
    EXPECT_EQ(form.Settings.RedialInterval, 9);
    EXPECT_EQ(form.StatusQueue.front().Text, kStatusSettingsRestored);
}

// WriteLog=0: nothing is logged from the moment the settings are read.
TEST_F(SettingsFlow, TheLogCanBeTurnedOff)
{
    ASSERT_EQ(WriteFileBytes(IniPath(), "[Option]\r\nTarget=B\r\nWriteLog=0\r\n"), FileError{});
    form.FormCreate();
    form.miTaskConnectClick();
    form.FormDestroy();
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(log.enabled);
}

}  // namespace
}  // namespace kiv
