// The program's one message pump: W functions, so keyboard input reaches the Unicode windows
// unchanged; keyboard input of open dialogs through IsDialogMessageW; and a WM_QUIT taken from
// the queue is kept once, for the loop to end on, never posted again. Only loops call it: the
// program's main loop, and the loop of a console or test that drives the Windows side itself.
// No handler runs it: what waits for something continues when that arrives as a message.
#pragma once

#include <windows.h>

namespace kiv::pump {

// Routes a message to an open dialog; true when the dialog took it. The program sets one for
// its dialogs.
using DialogFilter = bool (*)(MSG& msg);
void SetDialogFilter(DialogFilter filter);

// One turn of a loop: sleeps until a message arrives or milliseconds pass, whichever comes
// first, then dispatches every message waiting.
void WaitAndProcessMessages(unsigned milliseconds);

// The program has been asked to end (a WM_QUIT was taken, or RequestQuit was called).
bool QuitRequested();
void RequestQuit(int exitCode);

// The main loop: runs until the quit; returns its exit code.
int RunMessageLoop();

}  // namespace kiv::pump
