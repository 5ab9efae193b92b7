// A component on the platform's own sockets, announcing a computer name at 127.0.0.1, and the
// loop that runs such peers. Only for programs that run inside a private network namespace.
#pragma once

#include <initializer_list>
#include <string>

#include "KestrelMesh.h"
#include "SystemMeshBackend.h"

namespace kiv::test {

struct SocketPeer {
    SocketPeer(const std::string& machine, const std::string& disc, int udpPort, int ftpPort = 0)
    {
        backend.AnnounceComputerName(machine);
        backend.AnnounceLocalAddress("127.0.0.1");
        kms.SetPortNo(udpPort);
        kms.SetFTPPortNo(ftpPort);
        kms.SetDiscrimination(disc);
        kms.SetHandleName(disc + "-user");
    }
    mesh::SystemMeshBackend backend;
    TKestrelMesh kms{backend};
};

// One round of events of each peer.
inline void RunRound(std::initializer_list<SocketPeer*> peers)
{
    for (SocketPeer* p : peers)
        p->backend.RunOnce(2);
}

// Runs the peers' rounds until done() holds (true) or timeoutMs have passed (false).
template <typename Done>
bool RunUntil(std::initializer_list<SocketPeer*> peers, unsigned timeoutMs, Done done)
{
    SocketPeer* first = *peers.begin();
    const auto end = first->backend.NowMilliseconds() + timeoutMs;
    while (!done()) {
        if (first->backend.NowMilliseconds() > end)
            return false;
        RunRound(peers);
    }
    return true;
}

}  // namespace kiv::test
