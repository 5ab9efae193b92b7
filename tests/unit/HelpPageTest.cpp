#include "HelpPage.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <set>

#include "OptionDialog.h"

namespace kiv {
namespace {

TEST(HelpPageUrl, FoldersAndSections)
{
    struct Case {
        std::string appDir;
        unsigned context;
        std::string url;
    };
    const Case cases[] = {
        {"C:\\Kiv\\", 0, "file:///C:/Kiv/Kiv.html"},
        {"C:\\Program Files\\Kiv\\", 24, "file:///C:/Program%20Files/Kiv/Kiv.html#help-24"},
        {"C:\\Caf\xC3\xA9\\", 2, "file:///C:/Caf\xC3\xA9/Kiv.html#help-2"},
        {"D:\\\xE8\xA1\xA8 x\\", 60, "file:///D:/\xE8\xA1\xA8%20x/Kiv.html#help-60"},
        // Characters that would end the path or start a query or fragment are escaped.
        {"C:\\a#b%c?d\\", 59, "file:///C:/a%23b%25c%3Fd/Kiv.html#help-59"},
        {"\\\\server\\share\\Kiv\\", 5, "file://server/share/Kiv/Kiv.html#help-5"},
        {"/opt/kiv/", 0, "file:///opt/kiv/Kiv.html"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HelpPageUrl(c.appDir, c.context), c.url) << c.appDir;
}

// Every help-context number the dialogs' tables give a control (the options dialog's controls and
// buttons, the authorised computers dialog's list and buttons) has its section in the help page.
TEST(HelpPage, HasASectionForEveryHelpContext)
{
    std::ifstream file(KIV_HELP_PAGE, std::ios::binary);
    ASSERT_TRUE(file) << KIV_HELP_PAGE;
    std::stringstream text;
    text << file.rdbuf();
    const std::string page = text.str();
    std::set<unsigned> contexts;
    for (const OptionRow& row : kOptionRows)
        if (row.HelpId != 0)
            contexts.insert(row.HelpId);
    for (const DialogControl& control : kOptionUserControls)
        contexts.insert(control.HelpId);
    for (const unsigned n : contexts) {
        const std::string anchor = "id=\"" + HelpAnchor(n) + "\"";
        const auto at = page.find(anchor);
        EXPECT_NE(at, std::string::npos) << anchor;
        EXPECT_EQ(page.find(anchor, at + 1), std::string::npos) << anchor << " twice";
    }
}

}  // namespace
}  // namespace kiv
