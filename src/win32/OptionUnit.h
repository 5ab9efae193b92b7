// TOptionForm: the options dialog. A modeless top-level window without an owner, so it has a
// taskbar button of its own; at most one exists, referred to by OptionForm while it does. It
// makes its controls from the rows of OptionDialog.h, moves the settings into them and back
// through OptionLogic, and frees itself when its window is destroyed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FormKit.h"
#include "FormWindow.h"
#include "MainUnit.h"
#include "OptionLogic.h"

namespace kiv {

class TOptionForm;
extern TOptionForm* OptionForm;

class TOptionForm : public ui::FormWindow {
public:
    static constexpr wchar_t kClassName[] = L"TOptionForm";

    // Creates the dialog unless it exists, then shows it and brings it forward.
    static void Open(TMainForm& main, RasPort& ras, bool layeredWindows);

private:
    TOptionForm(TMainForm& main, RasPort& ras, bool layeredWindows);
    ~TOptionForm() override;
    bool Create();
    void CreatePages();
    void FormCreate();
    void Show();

    OptionControls ReadControls() const;
    void WriteControls(const OptionControls& controls);
    // The enabling rules of the current ticks; every rule also enables Apply.
    void RunRules();
    // The transparency beside the track bar, from its position.
    void ShowTransparency();
    void SelectPage(OptionPage page);
    HWND FieldControl(SettingMember setting) const;
    HWND Ctl(int id) const;

    void btUpdateClick();
    void btOkClick();
    void btKMSComputerCountClick();
    // The authorised computers dialog has closed; after its OK, its rows become the working list.
    void ComputersDialogClosed(std::optional<StringList> rows);
    void Close();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;
    void OnCommand(int id, int code);

    // The child windows of one row of the table (OptionDialog.h); the pages after the tabs.
    void MakeRow(const OptionRow& row);
    void MakePages();
    // The pages and their headers into the tab control's display area.
    void PlacePages();
    // The dialog at dpi (WM_DPICHANGED): its children, fonts and pages, where suggested (null:
    // where it is).
    void Rescale(unsigned dpi, const RECT* suggested);
    void Grey(HWND label, bool normal);

    TMainForm& main_;
    RasPort& ras_;
    bool layered_;
    HWND tabs_ = nullptr;
    OptionRect tabsRect_;  // at 96 dpi
    HWND lastFocus_ = nullptr;
    HWND pages_[4] = {};
    HWND headers_[4] = {};
    ui::ScaledChildren children_;
    ui::PanelLook pageLook_;
    ui::PanelLook headerLook_;
    ui::LabelColors colors_;
    StringList phonebook_;
    StringList working_;  // the authorised computers being edited
    int Tag = 0;

    // Labels and headings that the rules grey.
    struct RuledHeading {
        HWND Marker;
        HWND Title;
        bool OptionEnabling::*Rule;
    };
    std::vector<std::pair<HWND, bool OptionEnabling::*>> greyed_;
    std::vector<RuledHeading> headings_;
};

// Routes keyboard input of the modeless dialogs (Tab, Enter) through IsDialogMessage; true
// when the message was handled.
bool IsFormDialogMessage(MSG& msg);

}  // namespace kiv
