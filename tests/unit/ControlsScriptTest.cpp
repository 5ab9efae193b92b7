// The end-to-end tests' control identifiers (tests/e2e/controls.sh) are the program's own: read
// from the dialogs' tables, not written down a second time.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "OptionDialog.h"

namespace kiv {
namespace {

std::map<std::string, int> IdsOfTheScript()
{
    const std::string command = "bash -c 'set -euo pipefail; . \"" KIV_SOURCE_DIR
                                "/tests/e2e/controls.sh\"; set | grep -E \"^id[A-Za-z0-9_]+=\"'";
    std::map<std::string, int> ids;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return ids;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        const std::string text = line;
        const auto eq = text.find('=');
        ids[text.substr(0, eq)] = std::stoi(text.substr(eq + 1));
    }
    pclose(pipe);
    return ids;
}

TEST(ControlsScript, ReadsEveryControlOfTheTables)
{
    const auto ids = IdsOfTheScript();
    for (const OptionRow& row : kOptionRows) {
        if (!row.Name)
            continue;
        const auto it = ids.find(row.Name);
        ASSERT_NE(it, ids.end()) << row.Name;
        EXPECT_EQ(it->second, row.Id) << row.Name;
    }
    for (const DialogControl& control : kOptionUserControls) {
        const auto it = ids.find(control.Name);
        ASSERT_NE(it, ids.end()) << control.Name;
        EXPECT_EQ(it->second, control.Id) << control.Name;
    }
}

// The places the script reads are the rows' own rectangles.
TEST(ControlsScript, ReadsThePlaceOfEveryNamedControl)
{
    const std::string command =
        "bash -c 'set -euo pipefail; . \"" KIV_SOURCE_DIR "/tests/e2e/controls.sh\"; kiv_table_places \"" KIV_SOURCE_DIR
        "/src/core/OptionDialog.h\"'";
    std::map<int, OptionRect> places;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    int id = 0;
    OptionRect r;
    while (std::fscanf(pipe, "%d %d %d %d %d", &id, &r.X, &r.Y, &r.Width, &r.Height) == 5)
        places[id] = r;
    pclose(pipe);
    int named = 0;
    for (const OptionRow& row : kOptionRows) {
        if (!row.Name)
            continue;
        ++named;
        const auto it = places.find(row.Id);
        ASSERT_NE(it, places.end()) << row.Name;
        EXPECT_EQ(it->second, row.Rect) << row.Name;
    }
    EXPECT_EQ(places.size(), static_cast<std::size_t>(named));
}

}  // namespace
}  // namespace kiv
