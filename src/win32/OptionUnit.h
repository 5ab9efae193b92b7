// TOptionForm: the options dialog. A modeless top-level window without an owner, so it has a
// taskbar button of its own; at most one exists, referred to by OptionForm while it does. It
// moves the settings into its controls and back through OptionLogic, and frees itself when
// its window is destroyed.
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

// Control identifiers: 1000 + the control's help-context number where it has one.
enum OptionControlId : int {
    idCbDialup = 1002,
    idCbRedial = 1003,
    idCbKeep = 1004,
    idEdRedialCount = 1005,
    idEdRedialInterval = 1006,
    idCbAutoConnectRun = 1007,
    idCbAutoConnectRunTime = 1008,
    idCbAutoConnectTime = 1009,
    idEdAutoConnectTimeHour = 1010,
    idEdAutoConnectTimeMinute = 1110,
    idCbAutoDisconnectEnd = 1011,
    idCbAutoDisconnectTime = 1012,
    idCbAutoDisconnectTimeReset = 1013,
    idCbStatusLocate = 1014,
    idCbStatusCloseBar = 1015,
    idCbStatusAlpha = 1016,
    idTbStatusAlphaCount = 1017,
    idRbKMSLogout = 1018,
    idRbKMSLogin = 1019,
    idEdKMSPasswordText = 1020,
    idCbKMSPort = 1021,
    idEdKMSPort = 1022,
    idEdAutoDisconnectTimeHour = 1023,
    idEdAutoDisconnectTimeMinute = 1123,
    idBtOk = 1024,
    idBtCancel = 1025,
    idBtUpdate = 1026,
    idCbKMSComputer = 1056,
    idEdKMSComputerCount = 1057,
    idBtKMSComputerCount = 1058,
    idCbKMSPassword = 1059,
    idPcOption = 1100,
    idLaStatusAlphaCount = 2001,
};

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
    void SelectPage(OptionPage page);
    HWND FieldControl(OptionField field) const;
    HWND Ctl(int id) const;

    void btUpdateClick();
    void btOkClick();
    void btKMSComputerCountClick();
    void Close();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;
    void OnCommand(int id, int code);

    // A control of the table: on its page, with its help-context number.
    HWND Make(int id, const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y, int w, int h,
              DWORD exStyle = 0, HFONT font = ui::FormFont());
    // A label, greyed by rule when one is given; a section heading, greyed by rule likewise.
    HWND Label(HWND page, const std::string& text, int x, int y, int w, bool OptionEnabling::*rule = nullptr);
    void Heading(HWND page, const std::string& title, int y, bool OptionEnabling::*rule = nullptr);
    // A caption, hour and minute fields with their units, greyed by rule.
    void TimeRow(HWND page, const std::string& caption, int y, int hourId, int minuteId,
                 bool OptionEnabling::*rule);
    void Grey(HWND label, bool normal);

    TMainForm& main_;
    RasPort& ras_;
    bool layered_;
    HWND tabs_ = nullptr;
    HWND lastFocus_ = nullptr;
    HWND pages_[4] = {};
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
    HWND laStatusAlphaCount_ = nullptr;
};

// Routes keyboard input of the modeless dialogs (Tab, Enter) through IsDialogMessage; true
// when the message was handled.
bool IsFormDialogMessage(MSG& msg);

}  // namespace kiv
