#include "VireoRASWin32.h"

#include <atomic>
#include <cstring>
#include <string>

namespace kiv::ras {

namespace {

// The hidden window the notifier posts to; read from the service's thread.
std::atomic<HWND> notifyWindow{nullptr};

const char kWindowClass[] = "TVireoRASWindow";

template <typename Fn>
bool Resolve(HMODULE module, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return fn != nullptr;
}

}  // namespace

std::unique_ptr<LibraryRasService> LibraryRasService::Load(const char* library)
{
    HMODULE module = LoadLibraryA(library);
    if (module == nullptr)
        return nullptr;
    std::unique_ptr<LibraryRasService> service(new LibraryRasService(module));
    const bool complete = Resolve(module, "RasDialA", service->dial_) && Resolve(module, "RasHangUpA", service->hangUp_) &&
                          Resolve(module, "RasEnumEntriesA", service->enumEntries_) &&
                          Resolve(module, "RasEnumConnectionsA", service->enumConnections_) &&
                          Resolve(module, "RasGetEntryDialParamsA", service->getEntryDialParams_) &&
                          Resolve(module, "RasGetConnectStatusA", service->getConnectStatus_);
    if (!complete)
        return nullptr;  // frees the library
    Resolve(module, "RasGetErrorStringA", service->getErrorString_);
    return service;
}

LibraryRasService::~LibraryRasService()
{
    if (!keepLoaded_)
        FreeLibrary(module_);
}

std::uint32_t LibraryRasService::EnumEntries(RASENTRYNAMEA* entries, std::uint32_t* size, std::uint32_t* count)
{
    DWORD bytes = *size, n = 0;
    const DWORD result = enumEntries_(nullptr, nullptr, entries, &bytes, &n);
    *size = bytes;
    *count = n;
    return result;
}

std::uint32_t LibraryRasService::EnumConnections(RASCONNA* conns, std::uint32_t* size, std::uint32_t* count)
{
    DWORD bytes = *size, n = 0;
    const DWORD result = enumConnections_(conns, &bytes, &n);
    *size = bytes;
    *count = n;
    return result;
}

std::uint32_t LibraryRasService::GetConnectStatus(HRASCONN conn, RASCONNSTATUSA* status)
{
    return getConnectStatus_(conn, status);
}

std::uint32_t LibraryRasService::GetEntryDialParams(RASDIALPARAMSA* params, bool* passwordRetrieved)
{
    BOOL password = FALSE;
    const DWORD result = getEntryDialParams_(nullptr, params, &password);
    *passwordRetrieved = password != FALSE;
    return result;
}

std::uint32_t LibraryRasService::Dial(RASDIALPARAMSA* params, HRASCONN* conn)
{
    return dial_(nullptr, nullptr, params, 0, reinterpret_cast<LPVOID>(&DialNotifier), conn);
}

std::uint32_t LibraryRasService::HangUp(HRASCONN conn) { return hangUp_(conn); }

std::string LibraryRasService::ErrorString(std::uint32_t code)
{
    if (getErrorString_ == nullptr)
        return {};
    // 512 characters always hold the text; it comes in the system's code page and goes on in
    // Shift-JIS, as every text of the program.
    char text[512] = {};
    if (getErrorString_(code, text, sizeof text) != 0)
        return {};
    text[sizeof text - 1] = '\0';
    const int length = static_cast<int>(std::strlen(text));
    if (length == 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), length)));
    const int n = WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
    std::string sjis(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), sjis.data(), n, "?", nullptr);
    // The system's texts may end in a line break; the program breaks its own lines.
    while (!sjis.empty() && (sjis.back() == '\n' || sjis.back() == '\r' || sjis.back() == ' '))
        sjis.pop_back();
    return sjis;
}

VOID WINAPI DialNotifier(UINT, DWORD state, DWORD error)
{
    if (const unsigned message = NotifierMessage(state, error))
        PostMessageA(notifyWindow.load(), message, error, 0);
}

RasHiddenWindow::RasHiddenWindow(Deadlines& deadlines) : deadlines_(deadlines)
{
    deadlines_.SetHandler(TimerSpace::DialUp, [this](int id) {
        if (ras_)
            ras_->TimerFired(static_cast<unsigned>(id));
    });
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, kWindowClass, &wc)) {
        wc.lpfnWndProc = &RasHiddenWindow::WndProc;
        wc.hInstance = instance;
        wc.lpszClassName = kWindowClass;
        RegisterClassA(&wc);
    }
    hwnd_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    notifyWindow.store(hwnd_);
}

RasHiddenWindow::~RasHiddenWindow()
{
    deadlines_.SetHandler(TimerSpace::DialUp, nullptr);
    HWND expected = hwnd_;
    notifyWindow.compare_exchange_strong(expected, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

LRESULT CALLBACK RasHiddenWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<RasHiddenWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && self->ras_ != nullptr &&
        self->ras_->WindowProc(message, message == WM_RAS_ERROR ? static_cast<std::uint32_t>(wParam) : 0))
        return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

unsigned RasHiddenWindow::SetTimer(unsigned id, unsigned milliseconds)
{
    deadlines_.Set(TimerSpace::DialUp, static_cast<int>(id), milliseconds);
    return id;
}

void RasHiddenWindow::KillTimer(unsigned id) { deadlines_.Kill(TimerSpace::DialUp, static_cast<int>(id)); }

void RasHiddenWindow::Post(unsigned message) { PostMessageA(hwnd_, message, 0, 0); }

std::uint32_t RasHiddenWindow::TickCount() { return GetTickCount(); }

VireoRASComponent::VireoRASComponent(Deadlines& deadlines, const char* library)
    : window_(deadlines), service_(LibraryRasService::Load(library)),
      ras_(std::make_unique<TVireoRAS>(service_.get(), window_))
{
    window_.Attach(ras_.get());
}

VireoRASComponent::~VireoRASComponent()
{
    ras_->SetMonitoring(false);
    window_.Attach(nullptr);
    // Freeing the library under a running dial would pull the service's code from under its
    // own threads.
    if (service_ && ras_->ServiceInUse())
        service_->KeepLoaded();
    ras_.reset();
    service_.reset();
}

}  // namespace kiv::ras
