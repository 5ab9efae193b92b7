// What TKestrelMesh needs from the platform: one UDP socket, numbered timers, clocks and the
// machine's identity. The platform calls back into the component when a datagram has arrived
// (TKestrelMesh::ReceiveDatagram) and when a timer is due (TKestrelMesh::TimerFired), always
// on the component's one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "MeshWire.h"

namespace kiv::mesh {

class MeshBackend {
public:
    virtual ~MeshBackend() = default;

    enum class SendResult { Sent, WouldBlock, Failed };

    // Opens the non-blocking UDP socket with broadcast and address reuse, bound to any local
    // address and the given port, and starts delivering its datagrams. Returns the maximum
    // datagram size the socket layer reports, or nothing on failure.
    virtual std::optional<int> OpenUdp(int port) = 0;
    virtual void CloseUdp() = 0;
    // One datagram to an address from InetAddr (or 0xFFFFFFFF for the limited broadcast).
    virtual SendResult SendTo(std::uint32_t address, int port, const char* data, std::size_t size) = 0;

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
};

}  // namespace kiv::mesh
