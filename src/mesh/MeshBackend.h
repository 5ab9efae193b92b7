// What TKestrelMesh needs from the platform: one UDP socket, the TCP sockets of file
// transfers, numbered timers, clocks and the machine's identity. The platform reports what
// happens to the MeshEvents it was given (a datagram received, a socket ready, a timer fired),
// always on the component's one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "MeshWire.h"

namespace kiv::mesh {

class MeshEvents;

class MeshBackend {
public:
    virtual ~MeshBackend() = default;

    // Where the reports go; nothing is reported while none is set. The component sets itself.
    void SetEvents(MeshEvents* events) { events_ = events; }

    enum class SendResult { Sent, WouldBlock, Failed };

    // Opens the non-blocking UDP socket with broadcast and address reuse, bound to any local
    // address and the given port, and starts delivering its datagrams. Returns the maximum
    // datagram size the socket layer reports, or nothing on failure.
    virtual std::optional<int> OpenUdp(int port) = 0;
    virtual void CloseUdp() = 0;
    // One datagram to an address from InetAddr (or 0xFFFFFFFF for the limited broadcast). After
    // a WouldBlock the socket reports MeshEvents::UdpWritable once it can take more.
    virtual SendResult SendTo(std::uint32_t address, int port, const char* data, std::size_t size) = 0;

    // TCP sockets of the file transfer. A socket reports the events it was opened for through
    // MeshEvents::SocketNotify, in the manner of WSAAsyncSelect: Accept on a listener;
    // Connect once an outgoing connection is made or has failed, followed by Write when it
    // succeeded; Write again only after SendTcp returned WouldBlock and the socket can take
    // more; Read while received data waits; Close once the peer has closed or reset.
    using TcpSocket = std::int64_t;
    static constexpr TcpSocket kNoSocket = -1;
    enum TcpEvent : int { Read = 1, Write = 2, Accept = 8, Connect = 16, Close = 32 };
    enum class TcpError { None, Refused, TimedOut, Other };
    struct IoResult {
        SendResult result;
        std::size_t bytes;  // bytes sent or received when result is Sent
    };

    // Listens on any local address and `port` (non-blocking, address reuse, backlog 5) for Accept.
    virtual TcpSocket ListenTcp(int port) = 0;
    // Takes a waiting connection; the new socket reports Read, Write (after a WouldBlock) and
    // Close.
    virtual TcpSocket AcceptTcp(TcpSocket listener) = 0;
    // Starts a non-blocking connection; the socket reports Connect, Read, Write and Close.
    virtual TcpSocket ConnectTcp(std::uint32_t address, int port) = 0;
    virtual IoResult SendTcp(TcpSocket socket, const char* data, std::size_t size) = 0;
    // bytes 0 with Sent: the peer has closed.
    virtual IoResult RecvTcp(TcpSocket socket, char* data, std::size_t size) = 0;
    virtual void CloseTcp(TcpSocket socket) = 0;
    // The socket reports nothing more.
    virtual void StopNotify(TcpSocket socket) = 0;
    // Queues a Write report for the socket, delivered like the platform's own.
    virtual void PostWrite(TcpSocket socket) = 0;

    // Timer `id` fires every `milliseconds` until killed; setting it again restarts it.
    virtual void SetTimer(int id, unsigned milliseconds) = 0;
    virtual void KillTimer(int id) = 0;

    // A monotonic millisecond count.
    virtual std::uint64_t NowMilliseconds() = 0;
    virtual LocalDateTime LocalTime() = 0;

    // The machine's computer name (at most 15 bytes, stable while the program runs).
    virtual std::string ComputerName() = 0;
    // The machine's first IPv4 address in dotted form; nothing when it cannot be resolved.
    virtual std::optional<std::string> LocalAddress() = 0;

protected:
    MeshEvents* Events() const { return events_; }

private:
    MeshEvents* events_ = nullptr;
};

// The component's side of the backend (PuTTY's Plug): what the platform reports.
class MeshEvents {
public:
    // A datagram from the UDP socket; source in the form InetAddr returns.
    virtual void ReceiveDatagram(const char* data, std::size_t size, std::uint32_t source) = 0;
    // A TCP socket of the file transfer reports one event (MeshBackend::TcpEvent).
    virtual void SocketNotify(MeshBackend::TcpSocket socket, int event, MeshBackend::TcpError error) = 0;
    // Timer `id` of SetTimer is due.
    virtual void TimerFired(int id) = 0;
    // The UDP socket can take datagrams again after a send found it full.
    virtual void UdpWritable() = 0;

protected:
    ~MeshEvents() = default;
};

// What the platform backends add for consoles and tests, which drive the backend themselves:
// one round of events, and an identity to announce instead of the host's.
class HostMeshBackend : public MeshBackend {
public:
    // Waits at most maxWaitMs for the platform's events and reports them.
    virtual void RunOnce(int maxWaitMs) = 0;

    void AnnounceComputerName(const std::string& name) { computerName_ = name; }
    void AnnounceLocalAddress(const std::string& address) { localAddress_ = address; }
    std::string ComputerName() final { return computerName_ ? computerName_->substr(0, 15) : HostComputerName(); }
    std::optional<std::string> LocalAddress() final { return localAddress_ ? localAddress_ : HostLocalAddress(); }

protected:
    virtual std::string HostComputerName() = 0;
    virtual std::optional<std::string> HostLocalAddress() = 0;

private:
    std::optional<std::string> computerName_, localAddress_;
};

}  // namespace kiv::mesh
