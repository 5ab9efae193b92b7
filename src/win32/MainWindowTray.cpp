// The main window's tray icon: its mouse messages, the popup menu and the menu commands.
#include "MainWindow.h"

#include <shellapi.h>

#include "HelpViewer.h"
#include "OptionUnit.h"
#include "VersionUnit.h"
#include "WinText.h"

namespace kiv {

namespace {

enum MenuId : UINT {
    kIdOption = 100,
    kIdConnect,
    kIdDeconnect,
    kIdHelp,
    kIdVersion,
    kIdEnd,
    kIdFirstTarget = 1000,
};


void AppendItem(HMENU menu, UINT id, const char* caption)
{
    AppendMenuW(menu, MF_STRING, id, Wide(caption).c_str());
}

void SetEnabled(HMENU menu, UINT id, const std::optional<bool>& enabled)
{
    if (enabled)
        EnableMenuItem(menu, id, MF_BYCOMMAND | (*enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void MainWindow::OnTrayCallback(LPARAM mouseMessage)
{
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDOWN:
        SetForegroundWindow(applicationWindow_);
        break;
    case WM_LBUTTONDBLCLK:
        form_.TrayDoubleClick();
        ForceForeground(window_);
        break;
    case WM_RBUTTONUP:
        ForceForeground(window_);
        PopupTaskMenu();
        break;
    default:
        break;
    }
}

void MainWindow::ForceForeground(HWND window)
{
    const DWORD own = GetWindowThreadProcessId(window, nullptr);
    const DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    SetForegroundWindow(window);
    if (own == foreground) {
        BringWindowToTop(window);
        return;
    }
    AttachThreadInput(own, foreground, TRUE);
    BringWindowToTop(window);
    AttachThreadInput(own, foreground, FALSE);
}

void MainWindow::PopupTaskMenu()
{
    const TaskMenuState state = form_.pmTaskMenuPopup();
    HMENU targets = CreatePopupMenu();
    for (std::size_t i = 0; i < state.Targets.size(); ++i) {
        const UINT id = kIdFirstTarget + static_cast<UINT>(i);
        AppendMenuW(targets, MF_STRING, id, Wide(state.Targets[i]).c_str());
    }
    if (state.CheckedTarget)
        CheckMenuRadioItem(targets, kIdFirstTarget, kIdFirstTarget + static_cast<UINT>(state.Targets.size()) - 1,
                           kIdFirstTarget + static_cast<UINT>(*state.CheckedTarget), MF_BYCOMMAND);

    HMENU menu = CreatePopupMenu();
    AppendItem(menu, kIdOption, kMenuOption);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(targets), Wide(kMenuTarget).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, kIdConnect, kMenuConnect);
    AppendItem(menu, kIdDeconnect, kMenuDeconnect);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, kIdHelp, kMenuHelp);
    AppendItem(menu, kIdVersion, kMenuVersion);
    AppendItem(menu, kIdEnd, kMenuEnd);
    SetEnabled(menu, kIdConnect, state.ConnectEnabled);
    SetEnabled(menu, kIdDeconnect, state.DeconnectEnabled);

    POINT at;
    GetCursorPos(&at);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr));
    PostMessageW(window_, WM_NULL, 0, 0);  // lets the menu close when the user clicks elsewhere
    DestroyMenu(menu);  // with its submenu
    if (chosen)
        OnMenuCommand(chosen, state.Targets);
}

void MainWindow::OnMenuCommand(UINT id, const std::vector<std::string>& targets)
{
    switch (id) {
    case kIdOption:
        ShowOptionForm();
        break;
    case kIdConnect:
        form_.miTaskConnectClick();
        break;
    case kIdDeconnect:
        form_.miTaskDeconnectClick();
        break;
    case kIdHelp:
        miTaskHelpClick();
        break;
    case kIdVersion:
        ShowVersionForm();
        break;
    case kIdEnd:
        PostMessageW(window_, WM_CLOSE, 0, 0);
        break;
    default:
        if (id >= kIdFirstTarget && id - kIdFirstTarget < targets.size())
            form_.miTaskTargetChildClick(targets[id - kIdFirstTarget]);
        break;
    }
}

void MainWindow::ShowOptionForm() { TOptionForm::Open(form_, ras_.Ras(), vss_.UseSetLayeredWindow()); }

void MainWindow::ShowVersionForm() { TVersionForm::Open(); }

void MainWindow::miTaskHelpClick()
{
    // The help beside the program, opened with the system's viewer at its contents.
    OpenHelpPage(window_, 0);
}

}  // namespace kiv
