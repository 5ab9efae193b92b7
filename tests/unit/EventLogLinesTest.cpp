// What the main form writes to Kiv.log, event by event, in virtual time.
#include <gtest/gtest.h>

#include "Fakes.h"
#include "LogTexts.h"
#include "StatusTexts.h"

namespace kiv {
namespace {

using test::MainFormFixture;

class EventLogLines : public ::testing::Test, protected MainFormFixture {
protected:
    std::vector<std::string> Lines() const { return log.lines; }
};

TEST_F(EventLogLines, StartStatusMessagesAndExit)
{
    ras.entries = {"T"};
    form.FormCreate();
    EXPECT_EQ(log.path, dir.File("Kiv.log"));
    form.FormDestroy();
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           std::string("[Kiv] ") + kLogStarted,
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
