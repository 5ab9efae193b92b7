// The dial-up component's platform side on Windows: the service library loaded at run time
// and the hidden window that receives the notifier's messages and the monitor's timer.
#pragma once

#include <memory>

#include "Deadlines.h"
#include "VireoRAS.h"
#include "VireoRAS_Exports.h"

namespace kiv::ras {

// The service's entry points, resolved from a loaded library.
class LibraryRasService : public RasService {
public:
    // Loads the library and resolves the six entry points; null when the library is missing
    // or lacks one of them (the service then counts as unavailable).
    static std::unique_ptr<LibraryRasService> Load(const char* library = "rasapi32.DLL");
    ~LibraryRasService() override;
    LibraryRasService(const LibraryRasService&) = delete;
    LibraryRasService& operator=(const LibraryRasService&) = delete;

    std::uint32_t EnumEntries(RASENTRYNAMEA* entries, std::uint32_t* size, std::uint32_t* count) override;
    std::uint32_t EnumConnections(RASCONNA* conns, std::uint32_t* size, std::uint32_t* count) override;
    std::uint32_t GetConnectStatus(HRASCONN conn, RASCONNSTATUSA* status) override;
    std::uint32_t GetEntryDialParams(RASDIALPARAMSA* params, bool* passwordRetrieved) override;
    std::uint32_t Dial(RASDIALPARAMSA* params, HRASCONN* conn) override;
    std::uint32_t HangUp(HRASCONN conn) override;
    std::string ErrorString(std::uint32_t code) override;

    HMODULE Module() const { return module_; }
    // The library stays loaded after this object is gone: the service still runs work of ours
    // (a dial whose notifier it will call, a hang-up it has not finished).
    void KeepLoaded() { keepLoaded_ = true; }

private:
    explicit LibraryRasService(HMODULE module) : module_(module) {}

    HMODULE module_;
    bool keepLoaded_ = false;
    RasEnumEntriesAFn enumEntries_ = nullptr;
    RasEnumConnectionsAFn enumConnections_ = nullptr;
    RasGetConnectStatusAFn getConnectStatus_ = nullptr;
    RasGetEntryDialParamsAFn getEntryDialParams_ = nullptr;
    RasDialAFn dial_ = nullptr;
    RasHangUpAFn hangUp_ = nullptr;
    // Optional: a library without it gives codes without their texts.
    RasGetErrorStringAFn getErrorString_ = nullptr;
};

// The component's hidden (message-only) window on the creating thread. It is the one window
// the dial notifier posts to: one per process. The component's timers run on the program's
// deadlines.
class RasHiddenWindow : public RasWindowPort {
public:
    explicit RasHiddenWindow(Deadlines& deadlines);
    ~RasHiddenWindow() override;
    RasHiddenWindow(const RasHiddenWindow&) = delete;
    RasHiddenWindow& operator=(const RasHiddenWindow&) = delete;

    // The component that receives the window's messages.
    void Attach(TVireoRAS* ras) { ras_ = ras; }
    HWND Handle() const { return hwnd_; }

    unsigned SetTimer(unsigned id, unsigned milliseconds) override;
    void KillTimer(unsigned id) override;
    void Post(unsigned message) override;
    std::uint32_t TickCount() override;
    void Pause(unsigned ms) override { Sleep(ms); }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    Deadlines& deadlines_;
    HWND hwnd_ = nullptr;
    TVireoRAS* ras_ = nullptr;
};

// The notifier handed to RasDialA: posts the matching WM_RAS_* message to the hidden window,
// a failure with its error code.
VOID WINAPI DialNotifier(UINT message, DWORD state, DWORD error);

// The component as the program creates it: hidden window first, then the library.
class VireoRASComponent {
public:
    explicit VireoRASComponent(Deadlines& deadlines, const char* library = "rasapi32.DLL");
    ~VireoRASComponent();

    TVireoRAS& Ras() { return *ras_; }

private:
    RasHiddenWindow window_;
    std::unique_ptr<LibraryRasService> service_;
    std::unique_ptr<TVireoRAS> ras_;
};

}  // namespace kiv::ras
