// Whole-file writes of the settings file: one save is one write, the old file survives a
// crash before the replace, and a reader holding the file open does not stop the save.
#include "FileBytes.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

#include "Settings.h"
#include "TempDir.h"

namespace kiv {
namespace {

// The system's file calls, recorded, with a replace that can be refused or crash.
class RecordingFiles : public FileSystemPort {
public:
    enum class OnReplace { Do, Refuse, Crash };

    std::optional<std::string> Read(const Utf8Path& file, bool& missing) override
    {
        return SystemFiles().Read(file, missing);
    }
    bool WriteThrough(const Utf8Path& file, const std::string& bytes) override
    {
        calls.push_back("write " + Name(file));
        return SystemFiles().WriteThrough(file, bytes);
    }
    bool Replace(const Utf8Path& fromFile, const Utf8Path& toFile) override
    {
        calls.push_back("replace " + Name(fromFile) + " " + Name(toFile));
        if (onReplace == OnReplace::Crash)
            throw std::runtime_error("process ended");
        return onReplace == OnReplace::Do && SystemFiles().Replace(fromFile, toFile);
    }
    bool Overwrite(const Utf8Path& file, const std::string& bytes) override
    {
        calls.push_back("overwrite " + Name(file));
        return overwriteWorks && SystemFiles().Overwrite(file, bytes);
    }
    void Remove(const Utf8Path& file) override
    {
        calls.push_back("remove " + Name(file));
        SystemFiles().Remove(file);
    }

    OnReplace onReplace = OnReplace::Do;
    bool overwriteWorks = true;
    std::vector<std::string> calls;

private:
    static std::string Name(const Utf8Path& path) { return std::filesystem::path(path.Text).filename().string(); }
};

class SettingsWrite : public ::testing::Test {
protected:
    SettingsWrite()
    {
        ini.DefaultIniFilePath = path;
        ini.Files = &files;
    }
    std::string FileBytes() { return ReadFileBytes(path).value_or("<missing>"); }
    bool TemporaryLeft() { return std::filesystem::exists(path + ".new"); }

    test::TempDir dir;
    std::string path = dir.File("Kiv.INI");
    RecordingFiles files;
    TVireoSubSetIni ini;
};

TEST_F(SettingsWrite, OneSaveIsOneWriteWithEveryKeyInOrder)
{
    ASSERT_TRUE(WriteFileBytes(path, "[Option]\r\nRedial=1\r\n"));
    TSettings s;
    s.Target = "ISP";
    s.KMSPortNo = 52000;
    SaveSettings(ini, s, {"PC1"});
    EXPECT_EQ(files.calls, (std::vector<std::string>{"write Kiv.INI.new", "replace Kiv.INI.new Kiv.INI"}));

    TSettings loaded;
    StringList allowed;
    LoadSettings(ini, "", true, loaded, allowed);
    EXPECT_EQ(loaded, s);
    EXPECT_EQ(allowed, StringList{"PC1"});
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.find("[Option]\r\nRedial=0\r\nTarget=ISP\r\nKeep=0\r\nRedialCount=3\r\n"), 0u) << bytes;
    EXPECT_LT(bytes.find("KMSPort=0\r\n"), bytes.find("KMSPortNo=52000\r\n"));
    EXPECT_FALSE(TemporaryLeft());
}

TEST_F(SettingsWrite, ACrashBeforeTheReplaceLeavesTheOldFileWhole)
{
    const std::string old = "[Option]\r\nTarget=old\r\nRedial=1\r\n";
    ASSERT_TRUE(WriteFileBytes(path, old));
    files.onReplace = RecordingFiles::OnReplace::Crash;
    TSettings s;
    s.Target = "new";
    EXPECT_THROW(SaveSettings(ini, s, {}), std::runtime_error);
    EXPECT_EQ(FileBytes(), old);

    // The next start reads the old settings, and its next save goes through.
    TSettings loaded;
    StringList allowed;
    LoadSettings(ini, "", true, loaded, allowed);
    EXPECT_EQ(loaded.Target, "old");
    files.onReplace = RecordingFiles::OnReplace::Do;
    SaveSettings(ini, s, {});
    LoadSettings(ini, "", true, loaded, allowed);
    EXPECT_EQ(loaded, s);
    EXPECT_FALSE(TemporaryLeft());
}

TEST_F(SettingsWrite, ARefusedReplaceWritesInPlace)
{
    ASSERT_TRUE(WriteFileBytes(path, "[Option]\r\nTarget=a much longer old name than the new one\r\n"));
    files.onReplace = RecordingFiles::OnReplace::Refuse;
    EXPECT_TRUE(ini.WriteIniString("Option", "Target", "new"));
    EXPECT_EQ(FileBytes(), "[Option]\r\nTarget=new\r\n");  // cut to the new length
    EXPECT_EQ(files.calls, (std::vector<std::string>{"write Kiv.INI.new", "replace Kiv.INI.new Kiv.INI",
                                                     "overwrite Kiv.INI", "remove Kiv.INI.new"}));
    EXPECT_FALSE(TemporaryLeft());
}

TEST_F(SettingsWrite, ARefusedReplaceAndWriteReportFailureAndKeepTheFile)
{
    const std::string old = "[Option]\r\nTarget=old\r\n";
    ASSERT_TRUE(WriteFileBytes(path, old));
    files.onReplace = RecordingFiles::OnReplace::Refuse;
    files.overwriteWorks = false;
    EXPECT_FALSE(ini.WriteIniString("Option", "Target", "new"));
    EXPECT_EQ(FileBytes(), old);
    EXPECT_FALSE(TemporaryLeft());
}

// The real file calls, with another program reading the file: on Windows its C runtime
// handle allows no deletion, so the save takes the in-place road there.
TEST(SettingsFileOpenElsewhere, SaveGoesThroughWhileAReaderHoldsTheFile)
{
    test::TempDir dir;
    TVireoSubSetIni ini;
    ini.DefaultIniFilePath = dir.File("Kiv.INI");
    ASSERT_TRUE(WriteFileBytes(ini.DefaultIniFilePath, "[Option]\r\nTarget=old\r\n"));
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
