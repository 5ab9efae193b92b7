#include "EventLog.h"

#include <gtest/gtest.h>

#include <map>

#include "TempDir.h"

namespace kiv::test {
namespace {

// Files in memory; each call can be made to fail.
class FakeLogFiles : public LogFilePort {
public:
    FileError Append(const std::string& path, const std::string& bytes) override
    {
        ++appends;
        if (appendError)
            return appendError;
        files[path] += bytes;
        return {};
    }
    std::optional<std::int64_t> Size(const std::string& path) override
    {
        const auto f = files.find(path);
        return f == files.end() ? std::nullopt : std::optional<std::int64_t>(f->second.size());
    }
    std::optional<char> LastByte(const std::string& path) override
    {
        const auto f = files.find(path);
        return f == files.end() || f->second.empty() ? std::nullopt : std::optional<char>(f->second.back());
    }
    FileError Replace(const std::string& from, const std::string& to) override
    {
        if (replaceError)
            return replaceError;
        files[to] = files[from];
        files.erase(from);
        return {};
    }
    std::map<std::string, std::string> files;
    FileError appendError, replaceError;
    int appends = 0;
};

struct EventLogFixture : ::testing::Test {
    EventLogFixture()
    {
        log.Open(Utf8Path("C:\\Kiv\\Kiv.log"));
        log.OnFailure = [this](const Utf8Path& path, const FileError& e) {
            failures.push_back(path.Text + ": " + FileErrorText(e));
        };
    }
    const std::string& File() { return files.files["C:\\Kiv\\Kiv.log"]; }
    FakeLogFiles files;
    LocalStamp now{2026, 12, 10, 23, 0, 5};
    EventLog log{files, [this] { return now; }};
    std::vector<std::string> failures;
};

TEST(EventLogLine, OneEventIsOneReadableLine)
{
    const LocalStamp at{2026, 1, 2, 3, 4, 5};
    const struct {
        const char* text;
        const char* line;
    } cases[] = {
        {"「東京アクセスポイント」へ接続しました。", "「東京アクセスポイント」へ接続しました。"},
        {"10秒後に切断します。\rよろしいですか", "10秒後に切断します。 / よろしいですか"},
        {"a\r\nb\nc\r", "a / b / c / "},
        {"tab\there\x01\x7f", "tab here  "},
        {"ソ|パス", "ソ|パス"},  // a second byte of 0x5C stays with its character
        {"end\x82", "end?"},       // a lead byte without its second byte
        {"\x82\r\nx", "? / x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EventLog::FormatLine(at, "接続", c.text), std::string("2026-01-02 03:04:05 [接続] ") + c.line + "\r\n")
            << c.text;
}

TEST(EventLogLine, LongTextsAreCutAtACharacter)
{
    std::string text = "x";
    for (int i = 0; i < 1500; ++i)
        text += "あ";
    const std::string line = EventLog::FormatLine({}, "k", text);
    const std::string body = line.substr(line.find("] ") + 2);
    EXPECT_LE(body.size(), EventLog::kMaxTextBytes + 6);
    EXPECT_EQ(body.substr(body.size() - 4), "…\r\n");
    // "x" then whole characters: an odd count of bytes before the ellipsis.
    EXPECT_EQ((body.size() - 4) % 2, 1u);
}

TEST_F(EventLogFixture, LinesAreAppendedAndALineCutShortIsEnded)
{
    files.files["C:\\Kiv\\Kiv.log"] = "2026-12-09 22:00:00 [起動] Kivを起動しました。\r\n2026-12-09 22:00:01 [接";
    log.Write("起動", SjisText("Kivを起動しました。"));
    now.Second = 6;
    log.Write("終了", SjisText("Kivを終了します。"));
    EXPECT_EQ(File(), "2026-12-09 22:00:00 [起動] Kivを起動しました。\r\n2026-12-09 22:00:01 [接\r\n"
                      "2026-12-10 23:00:05 [起動] Kivを起動しました。\r\n"
                      "2026-12-10 23:00:06 [終了] Kivを終了します。\r\n");
    EXPECT_TRUE(failures.empty());
}

TEST_F(EventLogFixture, TheLogStaysBelowItsBoundWithOneOlderGeneration)
{
    const std::string text(990, 'x');
    const std::size_t lineSize = EventLog::FormatLine(now, "k", text).size();
    const int perFile = static_cast<int>(EventLog::kMaxBytes / static_cast<std::int64_t>(lineSize));
    for (int i = 0; i < 3 * perFile + 10; ++i) {
        log.Write("k", SjisText(text));
        ASSERT_LE(File().size(), static_cast<std::size_t>(EventLog::kMaxBytes));
    }
    EXPECT_EQ(files.files.size(), 2u);
    EXPECT_EQ(files.files["C:\\Kiv\\Kiv.old.log"].size(), perFile * lineSize);
    EXPECT_EQ(File().size(), 10 * lineSize);
    // A rotation that the system refuses: nothing is written past the bound, and it is said once.
    files.replaceError = {FileFailure::InUse, 32};
    for (int i = 0; i < perFile; ++i)
        log.Write("k", SjisText(text));
    EXPECT_LE(File().size(), static_cast<std::size_t>(EventLog::kMaxBytes));
    EXPECT_EQ(failures, std::vector<std::string>{"C:\\Kiv\\Kiv.log: ほかのプログラムがファイルを使用中です (エラー 32)"});
}

TEST_F(EventLogFixture, AFailureIsSaidOnceUntilWritingWorksAgain)
{
    files.appendError = {FileFailure::AccessDenied, 5};
    log.Write("a", SjisText("1"));
    log.Write("a", SjisText("2"));
    EXPECT_EQ(failures, std::vector<std::string>{"C:\\Kiv\\Kiv.log: 書き込みが許可されていません (エラー 5)"});
    files.appendError = {};
    log.Write("a", SjisText("3"));
    files.appendError = {FileFailure::DiskFull, 112};
    log.Write("a", SjisText("4"));
    EXPECT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[1], "C:\\Kiv\\Kiv.log: ディスクの空き容量が足りません (エラー 112)");
    EXPECT_EQ(File(), "2026-12-10 23:00:05 [a] 3\r\n");
}

TEST_F(EventLogFixture, OffWritesNothing)
{
    log.SetEnabled(false);
    log.Write("a", SjisText("1"));
    EXPECT_EQ(files.appends, 0);
    EXPECT_TRUE(files.files.empty());
}

// The platform's own file calls, on a real folder.
TEST(EventLogFiles, AppendRotateAndReadTheLastByte)
{
    TempDir dir;
    const std::string path = dir.File("Kiv.log");
    EventLog log(SystemLogFiles(), [] { return LocalStamp{2026, 12, 10, 7, 59, 0}; });
    log.Open(Utf8Path(path));
    std::vector<std::string> failures;
    log.OnFailure = [&](const Utf8Path&, const FileError& e) { failures.push_back(FileErrorText(e)); };
    log.Write("切断", SjisText("「東京アクセスポイント」から切断しました。"));
    EXPECT_EQ(SystemLogFiles().LastByte(path), std::optional<char>('\n'));
    EXPECT_EQ(SystemLogFiles().Size(path),
              std::optional<std::int64_t>(static_cast<std::int64_t>(
                  EventLog::FormatLine({2026, 12, 10, 7, 59, 0}, "切断", "「東京アクセスポイント」から切断しました。")
                      .size())));
    EXPECT_EQ(SystemLogFiles().Replace(path, dir.File("Kiv.old.log")).Kind, FileFailure::None);
    EXPECT_FALSE(SystemLogFiles().Size(path).has_value());
    EXPECT_TRUE(SystemLogFiles().Size(dir.File("Kiv.old.log")).has_value());
    EXPECT_TRUE(failures.empty());
    // A folder that does not exist: the failure names its reason.
    log.Open(Utf8Path(dir.File("gone/Kiv.log")));
    log.Write("a", SjisText("b"));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("ファイルまたはフォルダが見つかりません"), std::string::npos) << failures[0];
}

}  // namespace
}  // namespace kiv::test
