#include "MessagePump.h"

#include <vector>

namespace kiv::pump {

namespace {

DialogFilter dialogFilter = nullptr;
HWND modalDialog = nullptr;
bool quit = false;
int quitCode = 0;

// One message: a quit is kept, a dialog's keyboard input goes to the dialog.
void Dispatch(MSG& msg)
{
    if (msg.message == WM_QUIT) {
        RequestQuit(static_cast<int>(msg.wParam));
        return;
    }
    if (modalDialog && IsDialogMessageW(modalDialog, &msg))
        return;
    if (dialogFilter && dialogFilter(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

void SetDialogFilter(DialogFilter filter) { dialogFilter = filter; }

ModalDialog::ModalDialog(HWND dialog) : previous_(modalDialog) { modalDialog = dialog; }

ModalDialog::~ModalDialog() { modalDialog = previous_; }

void ProcessPendingMessages()
{
    // Thread messages without a window are handed back once this pass is over, in order.
    std::vector<MSG> forThread;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.hwnd == nullptr && msg.message != WM_QUIT && msg.message != WM_TIMER) {
            forThread.push_back(msg);
            continue;
        }
        Dispatch(msg);
    }
    for (const MSG& m : forThread)
        PostThreadMessageW(GetCurrentThreadId(), m.message, m.wParam, m.lParam);
}

void WaitForMessages(unsigned milliseconds)
{
    // Wakes for input that arrived since the queue was last looked at, not for what is still
    // in it: nothing that was left there can turn the wait into a busy poll.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

void WaitAndProcessMessages(unsigned milliseconds)
{
    WaitForMessages(milliseconds);
    ProcessPendingMessages();
}

bool QuitRequested() { return quit; }

void RequestQuit(int exitCode)
{
    if (quit)
        return;
    quit = true;
    quitCode = exitCode;
}

int RunMessageLoop()
{
    MSG msg;
    while (!quit) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        Dispatch(msg);
    }
    return quitCode;
}

}  // namespace kiv::pump
