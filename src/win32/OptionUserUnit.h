// TOptionUserForm: the authorised computers dialog, modal over the options dialog and owned
// by its window. It edits a copy of the options dialog's working list in a list view.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "FormKit.h"
#include "FormWindow.h"
#include "OptionDialog.h"
#include "StringList.h"

namespace kiv {

class TOptionUserForm;
extern TOptionUserForm* OptionUserForm;

// The controls' identifiers, from the dialog's table (OptionDialog.h).
enum OptionUserControlId : int {
    idLvUser = OptionUserControl("idLvUser").Id,
    idUserBtEdit = OptionUserControl("idUserBtEdit").Id,
    idUserBtNew = OptionUserControl("idUserBtNew").Id,
    idUserBtDelete = OptionUserControl("idUserBtDelete").Id,
    idUserBtOk = OptionUserControl("idUserBtOk").Id,
    idUserBtCancel = OptionUserControl("idUserBtCancel").Id,
};

class TOptionUserForm : public ui::FormWindow {
public:
    static constexpr wchar_t kClassName[] = L"TOptionUserForm";

    // Shows the dialog modally over owner with one row per name; the rows in order after OK,
    // nothing after Cancel or the close button.
    static std::optional<StringList> Execute(HWND owner, const StringList& names);

private:
    explicit TOptionUserForm(HWND owner) : owner_(owner) {}
    ~TOptionUserForm() override;
    bool Create(const StringList& names);
    void AddRow(const std::string& caption);
    StringList Rows() const;
    void lvUserChange();
    void btNewClick();
    void btEditClick();
    void btDeleteClick();
    void Close() { closed_ = true; }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    HWND owner_;
    HWND lvUser_ = nullptr;
    HIMAGELIST ilIcon_ = nullptr;
    ui::PanelLook headerLook_;
    int Tag = 0;
    bool closed_ = false;
};

}  // namespace kiv
