#include "Paths.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(DirectoryWithDelimiter, Cases)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Program Files\\Kiv\\kiv.exe", "C:\\Program Files\\Kiv\\"},
        {"C:\\kiv.exe", "C:\\"},
        {"kiv.exe", "\\"},
        {"/opt/kiv/kiv.exe", "/opt/kiv/"},
        // "表" is 0x95 0x5C in Shift-JIS: its second byte is no folder delimiter.
        {"C:\\表\\kiv.exe", "C:\\表\\"},
        {"C:\\ソフト表kiv.exe", "C:\\"},
    };
    for (const auto& [path, dir] : cases)
        EXPECT_EQ(DirectoryWithDelimiter(path), dir) << path;
}

}  // namespace
}  // namespace kiv
