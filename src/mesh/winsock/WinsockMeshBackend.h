// MeshBackend on Windows Sockets 1.1: the UDP socket reports readiness to a hidden window as
// message 1125 (WSAAsyncSelect), and the component's timers are deadlines (the program's own, or
// the backend's when it runs alone, as in a console). Both reach the component on the thread
// that owns the window. The TCP sockets of file transfers report to the same window with the
// same message.
#pragma once

#include <windows.h>
#include <winsock.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Deadlines.h"
#include "MeshBackend.h"
#include "Win32Deadlines.h"

namespace kiv::mesh {

inline constexpr UINT kMeshSocketMessage = 1125;  // WM_USER + 101 on the hidden window

class WinsockMeshBackend : public HostMeshBackend {
public:
    // With the timers on deadlines of its own.
    WinsockMeshBackend();
    // With the timers on the program's deadlines (space Mesh).
    explicit WinsockMeshBackend(Deadlines& deadlines);
    ~WinsockMeshBackend() override;
    WinsockMeshBackend(const WinsockMeshBackend&) = delete;
    WinsockMeshBackend& operator=(const WinsockMeshBackend&) = delete;

    HWND Handle() const { return window_; }
    // Through the program's one message pump, which serves every window of the thread.
    void RunOnce(int maxWaitMs) override;

    std::optional<int> OpenUdp(int port) override;
    void CloseUdp() override;
    SendResult SendTo(std::uint32_t address, int port, const char* data, std::size_t size) override;
    void SetTimer(int id, unsigned milliseconds) override;
    void KillTimer(int id) override;
    std::uint64_t NowMilliseconds() override;
    LocalDateTime LocalTime() override;
    TcpSocket ListenTcp(int port) override;
    TcpSocket AcceptTcp(TcpSocket listener) override;
    TcpSocket ConnectTcp(std::uint32_t address, int port) override;
    IoResult SendTcp(TcpSocket socket, const char* data, std::size_t size) override;
    IoResult RecvTcp(TcpSocket socket, char* data, std::size_t size) override;
    void CloseTcp(TcpSocket socket) override;
    void StopNotify(TcpSocket socket) override;
    void PostWrite(TcpSocket socket) override;

private:
    // The hidden window and the timers' handler.
    void Open();
    std::string HostComputerName() override;
    std::optional<std::string> HostLocalAddress() override;
    // Non-blocking, address reuse, bound to any local address and the port.
    static bool BindLocal(SOCKET s, int port);
    // Asks for the events as kMeshSocketMessage on the hidden window.
    bool Select(SOCKET s, long events);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The datagrams waiting on the UDP socket, at most kDatagramsPerNotification of them.
    void ReceiveWaiting();
    // One datagram to the component; false when none was waiting.
    bool ReceiveOne();
    static constexpr int kDatagramsPerNotification = 64;

    std::unique_ptr<Win32Deadlines> ownDeadlines_;
    Deadlines& deadlines_;
    HWND window_ = nullptr;
    SOCKET socket_ = INVALID_SOCKET;
    bool wsaStarted_ = false;
    bool fineTimer_ = false;  // timeBeginPeriod(1) is in force for the open socket
    std::uint32_t lastTick_ = 0;
    std::uint64_t tickHigh_ = 0;
};

}  // namespace kiv::mesh
