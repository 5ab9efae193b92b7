#include "MessagePump.h"

namespace kiv::pump {

namespace {

DialogFilter dialogFilter = nullptr;
bool quit = false;
int quitCode = 0;

// One message: a quit is kept, a dialog's keyboard input goes to the dialog.
void Dispatch(MSG& msg)
{
    if (msg.message == WM_QUIT) {
        RequestQuit(static_cast<int>(msg.wParam));
        return;
    }
    if (dialogFilter && dialogFilter(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

void SetDialogFilter(DialogFilter filter) { dialogFilter = filter; }

void WaitAndProcessMessages(unsigned milliseconds)
{
    // Wakes for input that arrived since the queue was last looked at; everything waiting is
    // then taken, so nothing left in the queue can turn the next turn into a busy poll.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        Dispatch(msg);
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
