// The main window TMainForm on the screen: a hidden, borderless, always-on-top popup owned by
// the application window. It forwards its messages to the portable form.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "EventLog.h"
#include "FormWindow.h"
#include "LayeredWindows.h"
#include "MainUnit.h"
#include "KestrelMesh.h"
#include "ScheduledTimer.h"
#include "StatusWindow.h"
#include "VireoRASWin32.h"
#include "VireoSubSet.h"
#include "WinsockMeshBackend.h"
#include "Win32Deadlines.h"
#include "Win32Ports.h"
#include "Win32Shutdown.h"

namespace kiv {

class MainWindow : public ui::FormWindow {
public:
    static constexpr wchar_t kClassName[] = L"TMainForm";
    static constexpr int kScheduleTimerId = 1;
    static constexpr int kFeedOutTimerId = 2;
    static constexpr int kConnectTimerId = 3;
    // Win32Tray::kRetryTimerId is 4.
    static constexpr int kStatusAreaTimerId = 5;

    explicit MainWindow(HWND applicationWindow);
    ~MainWindow() override;

    // Creates the window and runs FormCreate; false when the program is to end at once.
    bool Create();

private:
    // Tray icon and popup menu.
    void OnTrayCallback(LPARAM mouseMessage);
    void PopupTaskMenu();
    void OnMenuCommand(UINT id, const std::vector<std::string>& targets);
    void ForceForeground(HWND window);
    void miTaskHelpClick();
    // The options dialog (tray menu, status icon action 3) and the about box.
    void ShowOptionForm();
    void ShowVersionForm();
    // The main window's timers stop and the dialogs close, as the program ends.
    void StopTimersAndDialogs();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The display or the work area changed: the status window is placed again shortly.
    void StatusAreaMayHaveChanged();
    void MouseDown(TMouseButton button, int x, int y);
    void MouseUp(TMouseButton button, int x, int y);

    HWND applicationWindow_;

    // The timers of all four kinds, first made and last gone.
    Win32Deadlines deadlines_;
    Win32Application app_;
    Win32Clock clock_;
    ras::VireoRASComponent ras_{deadlines_.Timers()};
    mesh::WinsockMeshBackend kmsBackend_{deadlines_.Timers()};
    TKestrelMesh kms_{kmsBackend_};
    Win32LayeredWindows layered_{deadlines_.Timers()};
    TVireoSubSet vss_{layered_};
    Win32Tray tray_{deadlines_.Timers()};
    Win32StatusWindow statusWindow_;
    ScheduledTimer tmSchedule_{deadlines_.Timers(), kScheduleTimerId, 1000};
    ScheduledTimer tmFeedOut_{deadlines_.Timers(), kFeedOutTimerId, 50};
    ScheduledTimer tmConnect_{deadlines_.Timers(), kConnectTimerId, 0};
    Win32Shutdown shutdown_;
    // Kiv.log, opened by the form beside Kiv.INI.
    EventLog log_{SystemLogFiles(), SystemLocalTime};
    // The form's handlers that open windows.
    class Form : public TMainForm {
    public:
        Form(const TMainFormPorts& ports, MainWindow& window) : TMainForm(ports), window_(window) {}
        void miTaskOptionClick() override { window_.ShowOptionForm(); }

    private:
        MainWindow& window_;
    };

    Form form_;
    // WM_CLOSE has started the form's close; the window goes when it has ended.
    bool closing_ = false;
    bool destroyed_ = false;
    // The left button went down on the form or label (a click when it comes up there too).
    bool formPressed_ = false;
    // Buttons that went down on the icon (bit per button), released there.
    unsigned iconPressed_ = 0;
};

}  // namespace kiv
