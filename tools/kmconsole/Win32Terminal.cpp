#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <thread>
#include <vector>

#include "Terminal.h"

namespace kmconsole {

namespace {

// Standard input is read by a thread of its own, which only posts each line to a hidden
// window of the console's thread; the line is handled there, between the other window messages.
constexpr UINT kLineMessage = WM_APP + 1;
const char kWindowClass[] = "KmconsoleInput";

}  // namespace

struct Terminal::State {
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != kLineMessage)
            return DefWindowProcA(window, message, wParam, lParam);
        std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(lParam));
        auto* state = reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (state && !line) {
            state->onEnd();
        } else if (state) {
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            state->onLine(*line);
        }
        return 0;
    }

    HWND window = nullptr;
    std::function<void(const std::string&)> onLine;
    std::function<void()> onEnd;
    std::optional<DWORD> savedMode;
};

Terminal::Terminal(kiv::mesh::SystemMeshBackend&) : state_(std::make_unique<State>()) {}

Terminal::~Terminal()
{
    EchoOn();
    if (state_->window)
        DestroyWindow(state_->window);
}

void Terminal::WatchInput(std::function<void(const std::string& line)> onLine, std::function<void()> onEnd)
{
    state_->onLine = std::move(onLine);
    state_->onEnd = std::move(onEnd);
    WNDCLASSA wc{};
    wc.lpfnWndProc = State::WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    const HWND window =
        CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window)
        return;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state_.get()));
    state_->window = window;
    // The reader outlives the window when the console ends first: its posts then go nowhere.
    std::thread([window] {
        std::string line;
        while (std::getline(std::cin, line)) {
            auto* posted = new std::string(line);
            if (!PostMessageA(window, kLineMessage, 0, reinterpret_cast<LPARAM>(posted)))
                delete posted;
        }
        PostMessageA(window, kLineMessage, 0, 0);
    }).detach();
}

void Terminal::EchoOff()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(in, &mode)) {
        state_->savedMode = mode;
        SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
}

void Terminal::EchoOn()
{
    if (state_->savedMode) {
        SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), *state_->savedMode);
        state_->savedMode.reset();
    }
}

void Utf8Arguments(int& argc, char**& argv)
{
    // The ANSI arguments lose what the system code page cannot hold: take the wide command
    // line instead.
    static std::vector<std::string> utf8;
    static std::vector<char*> utf8Argv;
    int wideCount = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    if (!wide)
        return;
    for (int i = 0; i < wideCount; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        utf8.push_back(std::move(arg));
    }
    LocalFree(wide);
    for (auto& arg : utf8)
        utf8Argv.push_back(arg.data());
    argc = static_cast<int>(utf8Argv.size());
    argv = utf8Argv.data();
}

void Utf8Output()
{
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);  // one LF per line, as on POSIX
}

}  // namespace kmconsole
