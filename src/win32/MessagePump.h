// The program's one message pump. The main loop, the waits that process messages (hang-ups,
// fades, transfers) and the modal dialog all pump here: W functions, so keyboard input reaches
// the Unicode windows unchanged; keyboard input of open dialogs through IsDialogMessageW; and
// a WM_QUIT taken from the queue anywhere is kept once, for the main loop to end on, never
// posted again (a re-posted quit wakes every message-aware wait at once, so waits would spin).
#pragma once

#include <windows.h>

namespace kiv::pump {

// Routes a message to an open dialog; true when the dialog took it. The program sets one for
// its modeless dialogs.
using DialogFilter = bool (*)(MSG& msg);
void SetDialogFilter(DialogFilter filter);

// A modal dialog whose keyboard input goes through IsDialogMessageW while the scope lives.
class ModalDialog {
public:
    explicit ModalDialog(HWND dialog);
    ~ModalDialog();
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

private:
    HWND previous_;
};

// Dispatches the thread's pending messages once and returns without waiting. Messages for no
// window (other than timers) belong to the loop that owns the thread and are left to it.
void ProcessPendingMessages();
// Sleeps until a message arrives or milliseconds pass, whichever comes first, without
// spinning on messages already seen, then dispatches the pending ones once.
void WaitAndProcessMessages(unsigned milliseconds);
// Sleeps until a message arrives or milliseconds pass; dispatches nothing.
void WaitForMessages(unsigned milliseconds);

// The program has been asked to end (a WM_QUIT was taken, or RequestQuit was called).
bool QuitRequested();
void RequestQuit(int exitCode);

// The main loop: runs until the quit; returns its exit code.
int RunMessageLoop();

}  // namespace kiv::pump
