#include "RemoteRights.h"

#include <algorithm>

namespace kiv {

namespace {

// Milliseconds from then to now on the wrapping 32-bit tick.
std::uint32_t Since(std::uint32_t then, std::uint32_t now)
{
    return now - then;
}

}  // namespace

void RemoteRights::Grant(const std::string& machineName, const std::string& address, std::uint32_t now)
{
    for (auto& right : rights_) {
        if (right.MachineName == machineName && right.Address == address) {
            right.LastHeard = now;
            return;
        }
    }
    if (rights_.size() >= kRemoteRightCount) {
        const auto oldest = std::max_element(rights_.begin(), rights_.end(), [now](const Right& a, const Right& b) {
            return Since(a.LastHeard, now) < Since(b.LastHeard, now);
        });
        rights_.erase(oldest);
    }
    rights_.push_back({machineName, address, now});
}

bool RemoteRights::Holds(const std::string& machineName, const std::string& address, std::uint32_t now)
{
    for (auto it = rights_.begin(); it != rights_.end(); ++it) {
        if (it->MachineName != machineName || it->Address != address)
            continue;
        if (Since(it->LastHeard, now) >= kRemoteRightLifetimeMs) {
            rights_.erase(it);
            return false;
        }
        it->LastHeard = now;
        return true;
    }
    return false;
}

void RemoteRights::Revoke(const std::string& machineName, const std::string& address)
{
    std::erase_if(rights_, [&](const Right& r) { return r.MachineName == machineName && r.Address == address; });
}

void RemoteRights::Expire(std::uint32_t now)
{
    std::erase_if(rights_, [now](const Right& r) { return Since(r.LastHeard, now) >= kRemoteRightLifetimeMs; });
}

}  // namespace kiv
