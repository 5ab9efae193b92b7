#include <filesystem>
#include <gtest/gtest.h>

#include "Fakes.h"
#include "FileBytes.h"
#include "StatusTexts.h"
#include "TextHelpers.h"

namespace kiv {
namespace {

class TrayMenu : public ::testing::Test, protected test::MainFormFixture {
protected:
    TrayMenu()
    {
        ras.entries = {"A", "B", "C"};
        form.Settings.Target = "B";
        vss.DefaultIniFilePath = IniPath();
    }
    std::string Filled(const char* t, const std::string& target = "B") const
    {
        std::string s = t;
        ReplaceText("%D", target, s);
        ReplaceText("%S", std::to_string(form.Settings.RedialInterval), s);
        // The message on screen has lost its action code.
        if (auto a = s.find("%A"); a != std::string::npos)
            s.erase(a, 3);
        return s;
    }
};

TEST_F(TrayMenu, DoubleClickShowsTheTargetsState)
{
    struct Case {
        std::string target;
        int state;
        bool redialPending;
        const char* message;
    };
    const Case cases[] = {
        {"missing", 0, false, kStatusNoTarget},
        {"B", 2, true, kStatusStateRedialWaiting},
        {"B", 1, false, kStatusStateDialling},
        {"B", 2, false, kStatusStateConnected},
        {"B", 0, false, kStatusStateIdle},
    };
    for (const Case& c : cases) {
        form.StatusQueue.clear();
        form.Settings.Target = c.target;
        ras.states["B"] = c.state;
        tmConnect.SetEnabled(c.redialPending);
        form.TrayDoubleClick();
        EXPECT_EQ(test::QueuedTexts(form), StringList{Filled(c.message, c.target)}) << c.state;
    }
    // A message on screen: nothing new.
    form.TrayDoubleClick();
    EXPECT_EQ(form.StatusQueue.size(), 1u);
}

TEST_F(TrayMenu, PopupListsEntriesAndEnablesCommands)
{
    struct Case {
        std::string target;
        int state;
        bool redialPending;
        std::optional<bool> connect, deconnect;
    };
    const Case cases[] = {
        {"missing", 0, false, false, false},
        {"B", 0, true, false, true},
        {"B", 0, false, true, false},
        {"B", 1, false, false, true},
        {"B", 2, false, false, true},
        {"B", -1, false, std::nullopt, std::nullopt},  // unavailable: left as they were
    };
    for (const Case& c : cases) {
        form.Settings.Target = c.target;
        ras.states["B"] = c.state;
        tmConnect.SetEnabled(c.redialPending);
        const TaskMenuState menu = form.pmTaskMenuPopup();
        EXPECT_EQ(menu.Targets, (std::vector<std::string>{"A", "B", "C"}));
        EXPECT_EQ(menu.CheckedTarget, c.target == "B" ? std::optional<std::size_t>(1) : std::nullopt);
        EXPECT_EQ(menu.ConnectEnabled, c.connect) << c.target << c.state;
        EXPECT_EQ(menu.DeconnectEnabled, c.deconnect) << c.target << c.state;
    }
    ras.entries.clear();
    EXPECT_TRUE(form.pmTaskMenuPopup().Targets.empty());
}

TEST_F(TrayMenu, ChoosingTheCurrentTargetChangesNothing)
{
    form.miTaskTargetChildClick("B");
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
    EXPECT_TRUE(form.StatusQueue.empty());
}

TEST_F(TrayMenu, NewTargetIsWrittenAtOnceAndTheRedialDialsIt)
{
    ASSERT_EQ(WriteFileBytes(IniPath(), "[Option]\r\nTarget=B\r\nRedial=1\r\n"), FileError{});
    tmConnect.SetEnabled(true);
    form.miTaskTargetChildClick("C");
    EXPECT_EQ(form.Settings.Target, "C");
    EXPECT_EQ(ReadFileBytes(IniPath()), "[Option]\r\nTarget=C\r\nRedial=1\r\n");
    EXPECT_EQ(test::QueuedTexts(form), StringList{Filled(kStatusTargetSwitchedRedialWaiting, "C")});
    EXPECT_TRUE(tmConnect.Enabled());
    form.tmConnectTimer();
    EXPECT_EQ(ras.calls, std::vector<std::string>{"Dial 2"});
}

TEST_F(TrayMenu, SwitchingAwayFromAKeptLineWatchesTheNewTarget)
{
    form.Settings.Keep = true;
    ras.states["B"] = 2;
    form.ConnectRequested = true;
    form.miTaskTargetChildClick("A");
    EXPECT_EQ(test::QueuedTexts(form), StringList{Filled(kStatusTargetSwitchedIdle, "A")});
    form.StatusQueue.clear();
    form.tmScheduleTimer();
    EXPECT_EQ(test::QueuedTexts(form), StringList{Filled(kStatusLineDroppedRedial, "A")});
    EXPECT_TRUE(tmConnect.Enabled());
}

}  // namespace
}  // namespace kiv
