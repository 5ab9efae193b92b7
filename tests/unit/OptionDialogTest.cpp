#include "OptionDialog.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kiv {
namespace {

// Every control of the options dialog has its own identifier, and every setting a row shows is
// a key of the settings table.
TEST(OptionDialogTable, IdentifiersAndSettings)
{
    std::set<int> ids;
    std::set<std::string> names;
    for (const OptionRow& row : kOptionRows) {
        if (!row.Name)
            continue;
        EXPECT_TRUE(ids.insert(row.Id).second) << row.Name;
        EXPECT_TRUE(names.insert(row.Name).second) << row.Name;
        if (!std::holds_alternative<std::monostate>(row.Setting)) {
            EXPECT_TRUE(SettingRowOf(row.Setting).Member == row.Setting) << row.Name;
        }
    }
    for (const DialogControl& control : kOptionUserControls)
        EXPECT_TRUE(ids.insert(control.Id).second) << control.Name;
    static_assert(OptionControlId("idBtOk") == 1024 && OptionUserControl("idLvUser").HelpId == 60);
}

}  // namespace
}  // namespace kiv
