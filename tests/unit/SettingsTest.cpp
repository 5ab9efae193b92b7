#include "Settings.h"

#include <filesystem>
#include <set>
#include <type_traits>
#include <variant>
#include <gtest/gtest.h>

#include "FileBytes.h"
#include "IniText.h"
#include "TempDir.h"
#include "TextHelpers.h"

namespace kiv {
namespace {

class SettingsFile : public ::testing::Test {
protected:
    SettingsFile() { ini.DefaultIniFilePath = dir.File("Kiv.INI"); }

    void WriteFile(const std::string& bytes) { ASSERT_EQ(WriteFileBytes(ini.DefaultIniFilePath, bytes), FileError{}); }
    std::string FileBytes() { return ReadFileBytes(ini.DefaultIniFilePath).value_or("<missing>"); }
    void Load(const std::string& firstEntry = "Entry0", bool layered = true)
    {
        LoadSettings(ini, firstEntry, layered, settings, allowed);
    }

    test::TempDir dir;
    TVireoSubSetIni ini;
    TSettings settings;
    StringList allowed{"stale"};
};

TEST_F(SettingsFile, NoFileGivesEveryDefault)
{
    Load("ダイヤル先", true);
    TSettings expected;
    expected.Target = "ダイヤル先";
    EXPECT_EQ(settings, expected);
    EXPECT_TRUE(allowed.empty());
    EXPECT_FALSE(settings.KMSPasswordFlag);

    Load("", false);
    EXPECT_EQ(settings.Target, "");
    EXPECT_FALSE(settings.StatusAlpha);
    EXPECT_FALSE(std::filesystem::exists(ini.DefaultIniFilePath));  // reading creates nothing
}

TEST_F(SettingsFile, NumbersAndBooleansAsStored)
{
    WriteFile("[option]\r\nRedial=2\r\nKeep=256\r\nRedialCount=abc\r\nRedialInterval= 12 \r\n"
              "StatusCloseBar=0\r\nAutoStartHour=99\r\nAutoStartMinute=-5\r\nStatusLocate=9\r\n"
              "StatusAlphaCount=999\r\nKMSPortNo=80\r\nAutoEndHour=$10\r\nAutoEndMinute=0x1F\r\n"
              "KMSLogin=1x\r\nAutoEnd=99999999999\r\nTarget=  my entry  \r\n");
    Load();
    EXPECT_TRUE(settings.Redial);       // low byte of 2
    EXPECT_FALSE(settings.Keep);        // low byte of 256
    EXPECT_EQ(settings.RedialCount, 3);  // not a number: the default
    EXPECT_EQ(settings.RedialInterval, 12);
    EXPECT_FALSE(settings.StatusCloseBar);
    // Out-of-range values are kept as read; their users bring them into range.
    EXPECT_EQ(settings.AutoStartHour, 99);
    EXPECT_EQ(settings.AutoStartMinute, -5);
    EXPECT_EQ(settings.StatusLocate, 9);
    EXPECT_EQ(settings.StatusAlphaCount, 999);
    EXPECT_EQ(settings.KMSPortNo, 80);
    EXPECT_EQ(settings.AutoEndHour, 16);
    EXPECT_EQ(settings.AutoEndMinute, 31);
    EXPECT_FALSE(settings.KMSLogin);  // "1x": the default
    EXPECT_FALSE(settings.AutoEnd);   // beyond 32 bits: the default
    EXPECT_EQ(settings.Target, "my entry");
}

TEST_F(SettingsFile, ScrambledKeys)
{
    // A stored password without its flag turns the check on; names written by hand are no
    // scrambled text and read as an empty list.
    WriteFile("[Option]\r\nKMSPassword=" + ScrambleText(ScrambleText("秘密")) +
              "\r\nKMSComputerList=PC01,PC02\r\n");
    Load();
    EXPECT_EQ(settings.KMSPassword, "秘密");
    EXPECT_TRUE(settings.KMSPasswordFlag);
    EXPECT_TRUE(allowed.empty());

    WriteFile("[Option]\r\nKMSPassword=secret\r\nKMSPasswordFlag=1\r\n");
    Load();
    EXPECT_EQ(settings.KMSPassword, "");
    EXPECT_TRUE(settings.KMSPasswordFlag);
}

TEST_F(SettingsFile, ComputerListRoundTrips)
{
    EXPECT_EQ(EncodeComputerList({}).size(), 6u);
    EXPECT_EQ(EncodePassword("").size(), 6u);
    EXPECT_TRUE(DecodeComputerList(EncodeComputerList({})).empty());

    const StringList two{"PC01", "経理-2"};
    const std::string stored = EncodeComputerList(two);
    EXPECT_EQ(UnscrambleText(UnscrambleText(stored)), "PC01\\|経理-2\\|");
    EXPECT_EQ(DecodeComputerList(stored), two);
}

TEST_F(SettingsFile, SaveWritesEveryKeyInOrderAndLoadsBack)
{
    TSettings s;
    s.Target = "接続先";
    s.Redial = true;
    s.RedialCount = 7;
    s.AutoStartHour = 6;
    s.StatusLocate = 2;
    s.KMSPassword = "pw";
    s.KMSPasswordFlag = true;
    s.KMSPortNo = 52000;
    SaveSettings(ini, s, {"A", "B"});

    const std::string bytes = FileBytes();
    // clang-format off
    const char* order[] = {"Target", "Redial", "Keep", "RedialCount", "RedialInterval", "AutoConnectRun",
                           "AutoConnectRunTime", "AutoStart", "AutoStartHour", "AutoStartMinute",
                           "AutoDisconnectEnd", "AutoEnd", "AutoEndHour", "AutoEndMinute",
                           "AutoDisconnectTimeReset", "StatusLocate", "StatusCloseBar", "StatusAlpha",
                           "StatusAlphaCount", "KMSLogin", "KMSComputer", "KMSComputerList", "KMSPasswordFlag",
                           "KMSPassword", "KMSPort", "KMSPortNo", "WriteLog"};
    // clang-format on
    std::string expectedKeys = "[Option]\r\n";
    std::string keysInFile;
    std::size_t pos = bytes.find("\r\n") + 2;
    ASSERT_EQ(bytes.substr(0, pos), expectedKeys);
    for (const char* key : order) {
        const auto eq = bytes.find('=', pos);
        ASSERT_NE(eq, std::string::npos);
        EXPECT_EQ(bytes.substr(pos, eq - pos), key);
        pos = bytes.find("\r\n", eq) + 2;
    }
    EXPECT_EQ(pos, bytes.size());
    EXPECT_NE(bytes.find("\r\nTarget=接続先\r\nRedial=1\r\nKeep=0\r\nRedialCount=7\r\n"), std::string::npos);

    Load();
    EXPECT_EQ(settings, s);
    EXPECT_EQ(allowed, (StringList{"A", "B"}));
}

TEST_F(SettingsFile, SaveKeepsOtherSectionsKeysAndLineOrder)
{
    WriteFile("; hand-written\r\n[Window]\r\nLeft=10\r\n[Option]\r\nKMSPortNo=1\r\nExtra=keep\r\nTarget=old\r\n");
    SaveSettings(ini, TSettings{}, {});
    const IniText after(FileBytes());
    EXPECT_EQ(after.Value("Window", "Left"), "10");
    EXPECT_EQ(after.Value("Option", "Extra"), "keep");
    const std::string bytes = after.Bytes();
    EXPECT_EQ(bytes.rfind("; hand-written\r\n[Window]\r\nLeft=10\r\n[Option]\r\nKMSPortNo=51000\r\nExtra=keep\r\nTarget=\r\n", 0), 0u);
}

TEST_F(SettingsFile, EmptyFileNameMeansTheDefaultFile)
{
    const std::string other = dir.File("other.ini");
    EXPECT_TRUE(ini.WriteIniString("Option", "Target", "default-file"));
    EXPECT_TRUE(ini.WriteIniInteger("Option", "RedialCount", 9, other));
    EXPECT_EQ(ini.ReadIniString("Option", "Target", "x"), "default-file");
    EXPECT_EQ(ini.ReadIniString("Option", "Target", "x", other), "x");
    EXPECT_EQ(ini.ReadIniInteger("Option", "RedialCount", 3, other), 9);
    EXPECT_EQ(ini.ReadIniInteger("Option", "RedialCount", 3), 3);
}

TEST_F(SettingsFile, LongValuesComeBackCutAsFromTheProfileBuffer)
{
    WriteFile("[Option]\r\nTarget=" + std::string(70000, 'x') + "\r\n");
    EXPECT_EQ(ini.ReadIniString("Option", "Target", "").size(), 65534u);
}

// A file saved by an editor as UTF-8 with a byte-order mark, with a value in quotes: the keys
// are read, and the next save keeps one [Option] with the mark in front.
TEST_F(SettingsFile, ByteOrderMarkAndQuotedValues)
{
    WriteFile("\xEF\xBB\xBF[Option]\r\nTarget=\" My ISP \"\r\nRedialCount='7'\r\nKMSPortNo=52000\r\n");
    Load();
    EXPECT_EQ(settings.Target, " My ISP ");
    EXPECT_EQ(settings.RedialCount, 7);
    EXPECT_EQ(settings.KMSPortNo, 52000);

    settings.RedialCount = 9;
    SaveSettings(ini, settings, allowed);
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF[Option]\r\nTarget=\" My ISP \"\r\nRedialCount=9\r\nKMSPortNo=52000\r\n", 0), 0u)
        << bytes;
    EXPECT_EQ(bytes.find("[Option]", 4), std::string::npos) << bytes;
    TSettings reloaded;
    LoadSettings(ini, "", true, reloaded, allowed);
    EXPECT_EQ(reloaded, settings);
}

TEST_F(SettingsFile, WriteTargetChangesMemoryAndTheOneKey)
{
    WriteFile("[Option]\r\nRedial=1\r\nTarget=A\r\n");
    WriteTarget(ini, settings, "B");
    EXPECT_EQ(settings.Target, "B");
    EXPECT_EQ(FileBytes(), "[Option]\r\nRedial=1\r\nTarget=B\r\n");
}

// Each row of the table loads its key into its own member and saves it from there: a value
// unlike the default, written by hand, comes back after a load and a save, and no other key
// changes.
TEST_F(SettingsFile, EveryRowLoadsAndSavesItsOwnKey)
{
    std::set<std::string> keys;
    for (const SettingRow& row : SettingRows()) {
        SCOPED_TRACE(row.Key);
        EXPECT_TRUE(keys.insert(row.Key).second) << "two rows for one key";
        std::string stored = "17";  // no integer key defaults to it
        std::visit([&](auto member) {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, bool TSettings::*>)
                stored = TSettings{}.*member ? "0" : "1";
            else if constexpr (std::is_same_v<M, std::string TSettings::*>)
                stored = row.Scrambled ? EncodePassword("pw") : "entry";
            else if constexpr (std::is_same_v<M, std::monostate>)
                stored = EncodeComputerList({"PC9"});
        }, row.Member);
        WriteFile("[Option]\r\n" + std::string(row.Key) + "=" + stored + "\r\n");
        Load("Entry0", true);
        TSettings changed = settings;
        const StringList names = allowed;
        Load("Entry0", true);  // the same file once more: nothing depends on what was in memory
        EXPECT_EQ(settings, changed);
        std::visit([&](auto member) {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, std::monostate>) {
                EXPECT_EQ(names, StringList{"PC9"});
            } else {
                TSettings fresh;
                fresh.Target = "Entry0";
                fresh.KMSPasswordFlag = !changed.KMSPassword.empty();
                EXPECT_NE(changed.*member, fresh.*member);
                changed.*member = fresh.*member;
                changed.KMSPasswordFlag = fresh.KMSPasswordFlag;
                EXPECT_EQ(changed, fresh) << "another member changed";
            }
        }, row.Member);
        SaveSettings(ini, settings, names);
        const IniText saved(FileBytes());
        if (!row.Scrambled) {
            EXPECT_EQ(saved.Value("Option", row.Key), stored);
        }
    }
}

// Values out of range are kept as read and brought into the row's range where they are used.
TEST(SettingsTable, RangesOfTheRows)
{
    TSettings s;
    s.StatusLocate = 9;
    s.StatusAlphaCount = 0;
    s.AutoEndHour = -3;
    s.RedialInterval = 5000;
    EXPECT_EQ(SettingInRange(s, &TSettings::StatusLocate), 4);
    EXPECT_EQ(SettingInRange(s, &TSettings::StatusAlphaCount), 1);
    EXPECT_EQ(SettingInRange(s, &TSettings::AutoEndHour), 0);
    EXPECT_EQ(SettingInRange(s, &TSettings::RedialInterval), 999);
    s.AutoEndMinute = 75;
    EXPECT_EQ(ScheduleMinuteOfDay(s, &TSettings::AutoEndHour, &TSettings::AutoEndMinute), 59);
    EXPECT_TRUE(KestrelPortUsable(1024));
    EXPECT_TRUE(KestrelPortUsable(65535));
    EXPECT_FALSE(KestrelPortUsable(1023));
    EXPECT_FALSE(KestrelPortUsable(65536));
}

TEST(SettingsStore, UnwritableLocationIsReported)
{
    TVireoSubSetIni ini;
    ini.DefaultIniFilePath = (test::TempDir().Path() / "gone" / "Kiv.INI").string();  // folder does not exist
    TSettings s;
    s.Target = "keep";
    EXPECT_EQ(SaveSettings(ini, s, {}).Error.Kind, FileFailure::NotFound);
    EXPECT_FALSE(ini.WriteIniString("Option", "Target", "x"));
    EXPECT_EQ(s.Target, "keep");
    TSettings loaded;
    StringList allowed;
    LoadSettings(ini, "first", true, loaded, allowed);
    EXPECT_EQ(loaded.Target, "first");
}

}  // namespace
}  // namespace kiv
