// The tray icon's decisions: the state message, the popup menu and the target switch.
#include "MainUnit.h"
#include "StatusTexts.h"

namespace kiv {

void TMainForm::TrayDoubleClick()
{
    if (!StatusQueue.empty())
        return;
    const int index = TargetEntryIndex();
    if (index == -1) {
        ShowStatus(kStatusNoTarget);
        return;
    }
    if (ports_.tmConnect.Enabled()) {
        ShowStatus(kStatusStateRedialWaiting);
        return;
    }
    switch (ports_.Ras.EntryState(index)) {
    case kEntryDialling:
        ShowStatus(kStatusStateDialling);
        break;
    case kEntryConnected:
        ShowStatus(kStatusStateConnected);
        break;
    default:
        ShowStatus(kStatusStateIdle);
        break;
    }
}

TaskMenuState TMainForm::pmTaskMenuPopup()
{
    TaskMenuState menu;
    const int count = ports_.Ras.EntryCount();
    for (int i = 0; i < count; ++i) {
        menu.Targets.push_back(ports_.Ras.EntryName(i));
        if (menu.Targets.back() == Settings.Target)
            menu.CheckedTarget = menu.Targets.size() - 1;  // a radio group shows the last check
    }
    const int index = TargetEntryIndex();
    if (index == -1) {
        menu.ConnectEnabled = menu.DeconnectEnabled = false;
    } else if (ports_.tmConnect.Enabled()) {
        menu.ConnectEnabled = false;
        menu.DeconnectEnabled = true;
    } else {
        const int state = ports_.Ras.EntryState(index);
        if (state == kEntryIdle) {
            menu.ConnectEnabled = true;
            menu.DeconnectEnabled = false;
        } else if (state == kEntryDialling || state == kEntryConnected) {
            menu.ConnectEnabled = false;
            menu.DeconnectEnabled = true;
        }
    }
    return menu;
}

void TMainForm::miTaskTargetChildClick(const std::string& caption)
{
    if (caption == Settings.Target)
        return;
    const auto failure = SettingsSaved(WriteTarget(ports_.VSS, Settings, caption), true);
    if (ports_.tmConnect.Enabled()) {
        ShowStatus(kStatusTargetSwitchedRedialWaiting);
    } else {
        switch (ports_.Ras.EntryState(TargetEntryIndex())) {
        case kEntryDialling: ShowStatus(kStatusTargetSwitchedDialling); break;
        case kEntryConnected: ShowStatus(kStatusTargetSwitchedConnected); break;
        default: ShowStatus(kStatusTargetSwitchedIdle); break;
        }
    }
    // The switch holds for this run; that it was not saved is said right after it.
    if (failure)
        ShowStatusMessage({*failure, kActionNone});
}

}  // namespace kiv
