// Whole-file writes of the settings file: one save is one write, the old file survives a
// crash before the replace, and a reader holding the file open does not stop the save.
#include "FileBytes.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

#include "FakeFiles.h"
#include "Settings.h"
#include "TempDir.h"

namespace kiv {
namespace {

class SettingsWrite : public ::testing::Test {
protected:
    SettingsWrite()
    {
        ini.DefaultIniFilePath = path;
        ini.Files = &files;
    }
    std::string FileBytes() { return ReadFileBytes(path).value_or("<missing>"); }
    // Nothing but Kiv.INI is left in the folder.
    bool OnlyTheFile()
    {
        return std::distance(std::filesystem::directory_iterator(dir.Path()), {}) == 1 && std::filesystem::exists(path);
    }

    test::TempDir dir;
    std::string path = dir.File("Kiv.INI");
    test::RecordingFiles files;
    TVireoSubSetIni ini;
};

TEST_F(SettingsWrite, OneSaveIsOneWriteWithEveryKeyInOrder)
{
    ASSERT_EQ(WriteFileBytes(path, "[Option]\r\nRedial=1\r\n"), FileError{});
    TSettings s;
    s.Target = "ISP";
    s.KMSPortNo = 52000;
    const IniWrite saved = SaveSettings(ini, s, {"PC1"});
    EXPECT_EQ(saved.Error, FileError{});
    EXPECT_EQ(saved.Changed.size(), SettingRows().size());  // every key but Redial is new, and Redial changes
    EXPECT_EQ(files.calls, (std::vector<std::string>{"write Kiv.INI.new", "replace Kiv.INI.new Kiv.INI"}));

    TSettings loaded;
    StringList allowed;
    LoadSettings(ini, "", true, loaded, allowed);
    EXPECT_EQ(loaded, s);
    EXPECT_EQ(allowed, StringList{"PC1"});
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.find("[Option]\r\nRedial=0\r\nTarget=ISP\r\nKeep=0\r\nRedialCount=3\r\n"), 0u) << bytes;
    EXPECT_LT(bytes.find("KMSPort=0\r\n"), bytes.find("KMSPortNo=52000\r\n"));
    EXPECT_TRUE(OnlyTheFile());

    // The same settings again: nothing changes, nothing is written.
    files.calls.clear();
    const IniWrite again = SaveSettings(ini, s, {"PC1"});
    EXPECT_EQ(again.Error, FileError{});
    EXPECT_TRUE(again.Changed.empty());
    EXPECT_TRUE(files.calls.empty());
}

TEST_F(SettingsWrite, ACrashBeforeTheReplaceLeavesTheOldFileWhole)
{
    const std::string old = "[Option]\r\nTarget=old\r\nRedial=1\r\n";
    ASSERT_EQ(WriteFileBytes(path, old), FileError{});
    files.crashAt = 2;
    TSettings s;
    s.Target = "new";
    EXPECT_THROW(SaveSettings(ini, s, {}), std::runtime_error);
    EXPECT_EQ(FileBytes(), old);

    // The next start removes what the save left and reads the old settings; its next save goes
    // through.
    files.crashAt = 0;
    EXPECT_EQ(RecoverFileBytes(path, files), FileRecovery::None);
    EXPECT_TRUE(OnlyTheFile());
    TSettings loaded;
    StringList allowed;
    LoadSettings(ini, "", true, loaded, allowed);
    EXPECT_EQ(loaded.Target, "old");
    EXPECT_EQ(SaveSettings(ini, s, {}).Error, FileError{});
    LoadSettings(ini, "", true, loaded, allowed);
    EXPECT_EQ(loaded, s);
    EXPECT_TRUE(OnlyTheFile());
}

TEST_F(SettingsWrite, ARefusedReplaceWritesInPlaceBesideACopyOfTheOldContent)
{
    ASSERT_EQ(WriteFileBytes(path, "[Option]\r\nTarget=a much longer old name than the new one\r\n"), FileError{});
    files.replaceError = {FileFailure::InUse, 32};
    EXPECT_TRUE(ini.WriteIniString("Option", "Target", "new"));
    EXPECT_EQ(FileBytes(), "[Option]\r\nTarget=new\r\n");  // cut to the new length
    EXPECT_EQ(files.calls,
              (std::vector<std::string>{"write Kiv.INI.new", "replace Kiv.INI.new Kiv.INI", "remove Kiv.INI.new",
                                        "write Kiv.INI.new", "replace Kiv.INI.new Kiv.INI.undo", "overwrite Kiv.INI",
                                        "remove Kiv.INI.undo"}));
    EXPECT_TRUE(OnlyTheFile());
}

// A kill or a power cut in the middle of the in-place write: the file may hold old and new
// bytes mixed, and the next start puts the old content back from its copy.
TEST_F(SettingsWrite, AnInPlaceWriteCutShortIsUndoneAtTheNextStart)
{
    const std::string old = "[Option]\r\nTarget=old\r\nRedial=1\r\nKeep=1\r\n";
    ASSERT_EQ(WriteFileBytes(path, old), FileError{});
    files.replaceError = {FileFailure::InUse, 32};
    files.crashAt = 6;  // the overwrite
    TSettings s;
    s.Target = "a new target";
    EXPECT_THROW(SaveSettings(ini, s, {}), std::runtime_error);
    ASSERT_NE(FileBytes(), old);
    files.crashAt = 0;
    EXPECT_EQ(RecoverFileBytes(path, files), FileRecovery::Restored);
    EXPECT_EQ(FileBytes(), old);
    EXPECT_TRUE(OnlyTheFile());
}

// The rows of the table of failures, through the file port: each save says it failed and why,
// the file is as it was, and nothing is left beside it.
TEST_F(SettingsWrite, AFailedSaveIsReportedAndLeavesTheFileAsItWas)
{
    const std::string old = "[Option]\r\nTarget=old\r\nRedialInterval=5\r\n";
    struct Case {
        const char* what;
        std::function<void(test::RecordingFiles&)> arrange;
        FileError expected;
    };
    const Case cases[] = {
        {"folder not writable",
         [](test::RecordingFiles& f) {
             f.writeError = {FileFailure::AccessDenied, 5};
         },
         {FileFailure::AccessDenied, 5}},
        {"held, sharing nothing",
         [](test::RecordingFiles& f) {
             f.readError = {FileFailure::InUse, 32};
         },
         {FileFailure::InUse, 32}},
        {"held, only reading",
         [](test::RecordingFiles& f) {
             f.replaceError = {FileFailure::InUse, 32};
             f.overwriteError = {FileFailure::InUse, 32};
         },
         {FileFailure::InUse, 32}},
        {"full disk",
         [](test::RecordingFiles& f) {
             f.writeError = {FileFailure::DiskFull, 112};
         },
         {FileFailure::DiskFull, 112}},
        {"full disk while written in place",
         [](test::RecordingFiles& f) {
             f.replaceError = {FileFailure::InUse, 32};
             f.overwriteError = {FileFailure::DiskFull, 112};
         },
         {FileFailure::DiskFull, 112}},
        {"read-only", [](test::RecordingFiles& f) { f.readOnly = true; }, {FileFailure::ReadOnly, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(WriteFileBytes(path, old), FileError{});
        files = test::RecordingFiles();
        c.arrange(files);
        TSettings s;
        s.Target = "old";
        s.RedialInterval = 10;
        const IniWrite saved = SaveSettings(ini, s, {});
        EXPECT_EQ(saved.Error, c.expected);
        EXPECT_NE(std::find(saved.Changed.begin(), saved.Changed.end(), "RedialInterval"), saved.Changed.end());
        EXPECT_EQ(FileBytes(), old);
        EXPECT_TRUE(OnlyTheFile());
        const IniWrite target = WriteTarget(ini, s, "a longer name than before");
        EXPECT_EQ(target.Error, c.expected);
        EXPECT_EQ(FileBytes(), old);
    }
}

// The real file calls, with another program reading the file: on Windows its C runtime
// handle allows no deletion, so the save takes the in-place road there.
TEST(SettingsFileOpenElsewhere, SaveGoesThroughWhileAReaderHoldsTheFile)
{
    test::TempDir dir;
    TVireoSubSetIni ini;
    ini.DefaultIniFilePath = dir.File("Kiv.INI");
    ASSERT_EQ(WriteFileBytes(ini.DefaultIniFilePath, "[Option]\r\nTarget=old\r\n"), FileError{});
    std::FILE* reader = std::fopen(ini.DefaultIniFilePath.c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    char first = 0;
    ASSERT_EQ(std::fread(&first, 1, 1, reader), 1u);

    TSettings s;
    s.Target = "new";
    SaveSettings(ini, s, {});
    EXPECT_EQ(ini.ReadIniString("Option", "Target", ""), "new");
    EXPECT_EQ(ini.ReadIniInteger("Option", "KMSPortNo", 0), 51000);
    EXPECT_FALSE(std::filesystem::exists(ini.DefaultIniFilePath + ".new"));
    std::fclose(reader);
}

// Folders whose names are not in the system's code page: the file is read and written beside
// where the path says, not in a parent folder.
TEST(SettingsFolders, NamesOutsideTheCodePage)
{
    const std::string names[] = {"Caf\xC3\xA9", "\xE8\xA1\xA8\xE3\x82\xBD", "\xD0\x9A\xD0\xB8\xD0\xB2"};
    for (const std::string& name : names) {
        test::TempDir dir;
        const std::string folder = dir.File("") + name;
        const std::filesystem::path native(std::u8string(reinterpret_cast<const char8_t*>(folder.data()), folder.size()));
        ASSERT_TRUE(std::filesystem::create_directory(native));
        TVireoSubSetIni ini;
        ini.DefaultIniFilePath = folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + kIniFileName;
        EXPECT_TRUE(ini.WriteIniInteger("Option", "KMSPortNo", 52001)) << name;
        EXPECT_EQ(ini.ReadIniInteger("Option", "KMSPortNo", 0), 52001) << name;
        EXPECT_TRUE(std::filesystem::exists(native / kIniFileName)) << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << name;  // nothing beside the folder
    }
}

}  // namespace
}  // namespace kiv
