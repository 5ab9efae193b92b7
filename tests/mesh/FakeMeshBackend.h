// A MeshBackend without sockets: records every datagram sent, runs the timers in virtual
// time, and lets a test hand datagrams to the component.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "KestrelMesh.h"
#include "MeshBackend.h"
#include "MeshWire.h"

namespace kiv::test {

class FakeMeshBackend : public mesh::MeshBackend {
public:
    struct Sent {
        std::uint32_t address;
        int port;
        std::string bytes;
    };
    struct Timer {
        unsigned interval;
        std::uint64_t due;
    };

    std::optional<int> OpenUdp(int port) override
    {
        ++opens;
        boundPort = port;
        if (!openSucceeds)
            return std::nullopt;
        open = true;
        return 65507;
    }
    void CloseUdp() override { open = false; }
    SendResult SendTo(std::uint32_t address, int port, const char* data, std::size_t size) override
    {
        if (!sendResults.empty()) {
            const SendResult r = sendResults.front();
            sendResults.pop_front();
            if (r != SendResult::Sent)
                return r;
        }
        sent.push_back({address, port, std::string(data, size)});
        return SendResult::Sent;
    }
    void SetTimer(int id, unsigned ms) override { timers[id] = {ms, now + ms}; }
    void KillTimer(int id) override { timers.erase(id); }
    std::uint64_t NowMilliseconds() override { return now; }
    mesh::LocalDateTime LocalTime() override { return localTime; }
    std::string ComputerName() override { return computerName; }
    std::optional<std::string> LocalAddress() override { return localAddress; }
    // TCP: the listener, and one outgoing connection (kOutgoing) whose sends take what the
    // test allows and whose answers the test gives; transfers are also tested over real sockets.
    static constexpr TcpSocket kOutgoing = 7;
    TcpSocket ListenTcp(int port) override
    {
        listenPort = port;
        return listenSucceeds ? 4242 : kNoSocket;
    }
    TcpSocket AcceptTcp(TcpSocket) override { return kNoSocket; }
    TcpSocket ConnectTcp(std::uint32_t, int) override { return kOutgoing; }
    // Each send takes at most the bytes of the first of tcpTakes (all when there is none); a
    // 0 there is a WouldBlock.
    IoResult SendTcp(TcpSocket, const char* data, std::size_t size) override
    {
        ++tcpSends;
        std::size_t take = size;
        if (!tcpTakes.empty()) {
            take = std::min(size, tcpTakes.front());
            tcpTakes.pop_front();
            if (take == 0)
                return {SendResult::WouldBlock, 0};
        }
        tcpSent.append(data, take);
        return {SendResult::Sent, take};
    }
    IoResult RecvTcp(TcpSocket, char* data, std::size_t size) override
    {
        if (tcpAnswer.empty())
            return {SendResult::WouldBlock, 0};
        const std::size_t n = std::min(size, tcpAnswer.size());
        tcpAnswer.copy(data, n);
        tcpAnswer.erase(0, n);
        return {SendResult::Sent, n};
    }
    void CloseTcp(TcpSocket socket) override { closedTcp.push_back(socket); }
    void StopNotify(TcpSocket) override {}
    void PostWrite(TcpSocket) override { ++postedWrites; }

    // Moves virtual time forward, firing the timers that fall due on the way.
    void Advance(TKestrelMesh& mesh, std::uint64_t ms)
    {
        const std::uint64_t end = now + ms;
        for (;;) {
            int id = -1;
            std::uint64_t due = end + 1;
            for (const auto& [tid, t] : timers)
                if (t.due < due) {
                    due = t.due;
                    id = tid;
                }
            if (id < 0)
                break;
            now = due;
            timers[id].due = due + timers[id].interval;
            mesh.TimerFired(id);
        }
        now = end;
    }

    // The message texts (identifier included) that went to one address, in order.
    std::vector<std::string> TextsTo(std::uint32_t address) const
    {
        std::vector<std::string> texts;
        std::vector<std::string> pieces;
        for (const auto& s : sent) {
            if (s.address != address)
                continue;
            const auto p = static_cast<unsigned char>(static_cast<unsigned char>(s.bytes[0]) - 1);
            if (p == 0)
                pieces.clear();
            if (pieces.size() <= p)
                pieces.resize(p + 1);
            pieces[p] = mesh::DatagramPiece(s.bytes.data(), s.bytes.size());
            if (auto text = mesh::UnframePieces(pieces)) {
                texts.push_back(*text);
                pieces.clear();
            }
        }
        return texts;
    }
    std::vector<std::string> Broadcasts() const { return TextsTo(kLimitedBroadcast); }
    // Broadcast texts without their identifiers.
    std::vector<std::string> BroadcastBodies() const
    {
        std::vector<std::string> bodies;
        for (const auto& t : Broadcasts())
            bodies.push_back(t.substr(mesh::kIdentifierLength));
        return bodies;
    }

    bool openSucceeds = true;
    bool listenSucceeds = true;
    int listenPort = 0;
    std::vector<TcpSocket> closedTcp;
    std::deque<std::size_t> tcpTakes;
    std::string tcpSent, tcpAnswer;
    int tcpSends = 0, postedWrites = 0;
    bool open = false;
    int opens = 0;
    int boundPort = 0;
    std::deque<SendResult> sendResults;
    std::vector<Sent> sent;
    std::map<int, Timer> timers;
    std::uint64_t now = 1000000;
    mesh::LocalDateTime localTime{2026, 12, 6, 9, 5, 3, 12};
    std::string computerName = "KIVPC";
    std::optional<std::string> localAddress = std::string("192.168.0.10");
};

// Frames a message text and hands its datagrams to the component, in the order given by
// `order` (all of them in sequence when empty).
inline void Deliver(TKestrelMesh& mesh, const std::string& text, const std::string& source, bool security = false,
                    const std::vector<int>& order = {})
{
    const auto datagrams = mesh::CutDatagrams(mesh::FrameText(text, security));
    const std::uint32_t from = *mesh::InetAddr(source);
    if (order.empty()) {
        for (const auto& d : datagrams)
            mesh.ReceiveDatagram(d.data(), d.size(), from);
    } else {
        for (int i : order)
            mesh.ReceiveDatagram(datagrams[static_cast<std::size_t>(i)].data(),
                                 datagrams[static_cast<std::size_t>(i)].size(), from);
    }
}

}  // namespace kiv::test
