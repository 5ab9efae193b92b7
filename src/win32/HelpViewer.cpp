#include "HelpViewer.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "HelpPage.h"
#include "PathText.h"
#include "Paths.h"
#include "Win32Ports.h"

namespace kiv {

namespace {

std::wstring WidePath(const std::string& path)
{
    const std::u16string wide = PathToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

}  // namespace

void OpenHelpPage(HWND owner, unsigned helpContext)
{
    const std::wstring url = WidePath(HelpPageUrl(DirectoryWithDelimiter(ExecutablePath()), helpContext));
    // A file URL opened through the .html association loses its "#section"; the web browser
    // (the program of the http scheme) is handed the whole URL instead.
    wchar_t browser[MAX_PATH * 2] = {};
    DWORD size = static_cast<DWORD>(std::size(browser));
    if (AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L"http", L"open", browser, &size) == S_OK) {
        const std::wstring argument = L"\"" + url + L"\"";
        if (reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", browser, argument.c_str(), nullptr, SW_SHOWNORMAL)) > 32)
            return;
    }
    ShellExecuteW(owner, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT AnswerHelp(HWND form, LPARAM helpInfo)
{
    const auto* info = reinterpret_cast<const HELPINFO*>(helpInfo);
    DWORD context = info ? static_cast<DWORD>(info->dwContextId) : 0;
    // A control without a number of its own is helped by the nearest window around it that has one.
    for (HWND w = info && info->iContextType == HELPINFO_WINDOW ? static_cast<HWND>(info->hItemHandle) : nullptr;
         !context && w && w != form; w = GetParent(w))
        context = GetWindowContextHelpId(w);
    OpenHelpPage(form, context);
    return TRUE;
}

}  // namespace kiv
