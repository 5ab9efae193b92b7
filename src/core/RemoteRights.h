// The consoles that gave the remote-control password. A console is known by its computer
// name together with the address its datagrams really came from, so another machine that
// announces the same name gains nothing. A right lapses after ten minutes without a message
// from its console; the table is small and the console heard from longest ago gives way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

inline constexpr std::uint32_t kRemoteRightLifetimeMs = 10 * 60 * 1000;
inline constexpr std::size_t kRemoteRightCount = 16;

class RemoteRights {
public:
    // The console gave the right password.
    void Grant(const std::string& machineName, const std::string& address, std::uint32_t now);
    // True when the console holds a right that has not lapsed; the message it sent now
    // keeps the right alive.
    bool Holds(const std::string& machineName, const std::string& address, std::uint32_t now);
    // The console logged out.
    void Revoke(const std::string& machineName, const std::string& address);
    // Drops the rights that have lapsed; run often enough (every second) that no right
    // outlives the wrap of the 32-bit tick.
    void Expire(std::uint32_t now);
    void Clear() { rights_.clear(); }

private:
    struct Right {
        std::string MachineName, Address;
        std::uint32_t LastHeard = 0;
    };
    std::vector<Right> rights_;
};

}  // namespace kiv
