// Opens the help page beside the program in the system's viewer for web pages.
#pragma once

#include <windows.h>

#include <string>

namespace kiv {

// At the section of helpContext, or at the top for 0.
void OpenHelpPage(HWND owner, unsigned helpContext);

// Answers WM_HELP for a form: the page at the section of the control the help was asked for
// (the "?" button, or F1).
LRESULT AnswerHelp(HWND form, LPARAM helpInfo);

}  // namespace kiv
