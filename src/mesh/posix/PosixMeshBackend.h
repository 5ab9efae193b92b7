// MeshBackend on POSIX sockets with a single-threaded poll loop: the UDP socket's readiness
// and the numbered timers are turned into calls of the component, one at a time, in the
// order the Windows side handles its window messages.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "MeshBackend.h"

namespace kiv::mesh {

class PosixMeshBackend : public HostMeshBackend {
public:
    PosixMeshBackend() = default;
    ~PosixMeshBackend() override;
    PosixMeshBackend(const PosixMeshBackend&) = delete;
    PosixMeshBackend& operator=(const PosixMeshBackend&) = delete;

    // Another descriptor to watch, such as standard input.
    void WatchInput(int fd, std::function<void()> onReadable);
    void UnwatchInput(int fd);

    // Waits at most maxWaitMs for one round of events and handles them.
    void RunOnce(int maxWaitMs) override;
    // Runs until the time is up or Quit is called.
    void RunFor(std::uint64_t milliseconds);
    void Quit() { quit_ = true; }
    bool QuitRequested() const { return quit_; }

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
    std::string HostComputerName() override;
    std::optional<std::string> HostLocalAddress() override;
    // The datagrams waiting on the UDP socket, at most kDatagramsPerRound of them.
    void ReceiveWaiting();
    // One datagram to the component; false when none was waiting.
    bool ReceiveOne();
    static constexpr int kDatagramsPerRound = 64;
    void FireDueTimers();
    // One readiness of a TCP socket, turned into the report WSAAsyncSelect would give.
    void HandleTcp(int fd, short revents);
    void Notify(int fd, int event, TcpError error = TcpError::None);

    // A TCP socket and what it reports. Write is reported once after a connection is made and
    // then only after a send found the socket full; Close once, when the peer's end is read.
    // As with Winsock, Read and Accept are not reported again until the socket has been read
    // or accepted from.
    struct Tcp {
        bool awaitingCall = false;  // Read or Accept reported, no RecvTcp or AcceptTcp yet
        int events = 0;
        bool listening = false;
        bool connecting = false;
        std::optional<TcpError> connectResult;  // a connection that ended at once
        bool wantWrite = false;
        bool closeReported = false;
    };
    std::map<int, Tcp> tcp_;
    std::vector<int> postedWrites_;

    struct Timer {
        unsigned interval;
        std::uint64_t due;
    };
    int socket_ = -1;
    bool udpWantWrite_ = false;  // a send found the UDP socket full: report when it is not
    std::map<int, Timer> timers_;
    std::vector<std::pair<int, std::function<void()>>> inputs_;
    bool quit_ = false;
};

}  // namespace kiv::mesh
