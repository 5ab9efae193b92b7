// TOptionUserForm: the authorised computers dialog, modal over the options dialog (which it
// disables) and owned by its window. It edits a copy of the options dialog's working list in a
// list view, and hands the rows back when it closes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
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

    using Closed = std::function<void(std::optional<StringList> rows)>;
    // Shows the dialog over owner, with one row per name, and returns; `closed` runs as it
    // closes: with the rows in order after OK, nothing after Cancel or the close button. It
    // does not run when the dialog goes with its owner.
    static void Open(HWND owner, const StringList& names, Closed closed);

private:
    TOptionUserForm(HWND owner, Closed closed) : FormWindow(true), owner_(owner), closed_(std::move(closed)) {}
    ~TOptionUserForm() override;
    bool Create(const StringList& names);
    // The row image and the column's width at the dialog's dpi.
    void FitRows();
    void AddRow(const std::string& caption);
    StringList Rows() const;
    void lvUserChange();
    void btNewClick();
    void btEditClick();
    void btDeleteClick();
    // The dialog closes: the options dialog is enabled again and gets the rows after OK.
    void Close();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;

    HWND owner_;
    HWND lvUser_ = nullptr;
    HIMAGELIST ilIcon_ = nullptr;
    ui::ScaledChildren children_;
    ui::PanelLook headerLook_;
    int Tag = 0;
    Closed closed_;
};

}  // namespace kiv
