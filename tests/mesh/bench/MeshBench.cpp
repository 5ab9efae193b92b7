// Costs of the receive and send paths of TKestrelMesh over the fake backend.
#include <benchmark/benchmark.h>

#include "FakeMeshBackend.h"
#include "KestrelMesh.h"
#include "TextHelpers.h"

namespace {

using kiv::TKestrelMesh;
using kiv::test::FakeMeshBackend;

// The datagrams a case times go through here, and only those: receive-instructions.sh counts
// instructions inside this function, apart from the setting up.
[[gnu::noinline]] void TimedReceive(TKestrelMesh& kms, const std::string& datagram, std::uint32_t from)
{
    kms.ReceiveDatagram(datagram.data(), datagram.size(), from);
}

struct Setup {
    Setup()
    {
        kms.SetDiscrimination("Kiv");
        kms.SetFTPPortNo(0);
        kms.OnInputReturn = [this](const kiv::MeshRequest& r) { received += r.Answer.size(); };
        kms.Start();
        kms.Login();
    }
    // Datagrams of distinct messages (the duplicate check must not cut the path short):
    // INPUT_RETURN for this component with an answer of answerSize bytes, scrambled.
    std::vector<std::vector<std::string>> Messages(std::size_t answerSize, int count)
    {
        std::vector<std::vector<std::string>> all;
        for (int i = 0; i < count; ++i) {
            const std::string text =
                kiv::mesh::MakeIdentifier({2026, 12, 6, 9, 0, 0, 0}, i) +
                kiv::mesh::BuildMessage(kiv::mesh_tags::InputReturn,
                                        {kms.IPAddress(), "Kiv", "Taro", "CONSOLE1", "KMC", "Menu",
                                         std::string(answerSize, 'a')});
            all.push_back(kiv::mesh::CutDatagrams(kiv::mesh::FrameText(text, true)));
        }
        return all;
    }
    FakeMeshBackend backend;
    TKestrelMesh kms{backend, 3};
    std::size_t received = 0;
};

void Receive(benchmark::State& state, std::size_t answerSize)
{
    Setup s;
    const auto messages = s.Messages(answerSize, 64);
    const std::uint32_t from = *kiv::mesh::InetAddr("192.168.0.20");
    std::size_t i = 0, bytes = 0;
    for (auto _ : state) {
        for (const auto& d : messages[i++ % messages.size()]) {
            TimedReceive(s.kms, d, from);
            bytes += d.size();
        }
    }
    state.counters["datagrams"] = static_cast<double>(messages[0].size());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    if (s.received == 0)
        state.SkipWithError("nothing was dispatched");
}

// About 200 bytes of message text: one datagram.
void BM_ReceiveOneDatagram(benchmark::State& state) { Receive(state, 140); }
// Twenty datagrams.
void BM_ReceiveTwentyDatagrams(benchmark::State& state) { Receive(state, 5000); }
// The largest message: 255 datagrams, arriving one by one. Compare with BM_Unframe255Pieces:
// receiving the whole message should cost no more than twice unframing its text once.
void BM_Receive255Datagrams(benchmark::State& state) { Receive(state, 64900); }

// One unframe of the pieces of that message, nothing else.
void BM_Unframe255Pieces(benchmark::State& state)
{
    Setup s;
    const auto datagrams = s.Messages(64900, 1)[0];
    std::vector<std::string> pieces;
    for (const auto& d : datagrams)
        pieces.emplace_back(kiv::mesh::DatagramPiece(d.data(), d.size()));
    for (auto _ : state)
        benchmark::DoNotOptimize(kiv::mesh::UnframePieces(pieces));
    state.counters["datagrams"] = static_cast<double>(pieces.size());
}

// A slot stuffed with 254 pieces of CR LF bytes, then its first piece sent again and again:
// the cost of one such datagram.
void BM_LineBreakStuffedSlotDatagram(benchmark::State& state)
{
    Setup s;
    const std::uint32_t from = *kiv::mesh::InetAddr("192.168.0.66");
    std::string crlf(511, '\r');
    for (std::size_t i = 2; i < crlf.size(); i += 2)
        crlf[i] = '\n';
    for (int k = 2; k <= 255; ++k) {
        crlf[0] = static_cast<char>(k);
        s.kms.ReceiveDatagram(crlf.data(), crlf.size(), from);
    }
    crlf[0] = 1;
    for (auto _ : state)
        TimedReceive(s.kms, crlf, from);
}

// Deleting the CR LF pairs of 130,000 bytes made only of CR LF pairs, nested.
void BM_ReplaceTextNestedLineBreaks(benchmark::State& state)
{
    const std::string text = std::string(65000, '\r') + std::string(65000, '\n');
    for (auto _ : state) {
        std::string work = text;
        kiv::ReplaceText("\r\n", "", work);
        benchmark::DoNotOptimize(work);
    }
}

// A flood of distinct one-datagram messages from 200 peers that have logged in, each from its
// own address: every message is an INFO_CHANGE that changes nothing, so the cost is the
// receive path, the duplicate check and the search of a peer table of 200.
void BM_FloodFrom200Peers(benchmark::State& state)
{
    constexpr int kPeers = 200, kPerPeer = 10;
    Setup s;
    int logins = 0;
    s.kms.OnLogin = [&](const kiv::PeerInfo&) { ++logins; };
    struct Datagram {
        std::string bytes;
        std::uint32_t from;
    };
    std::vector<Datagram> flood;
    int id = 0;
    auto message = [&](const char* tag, int peer, const std::vector<std::string>& fields) {
        const std::string text = kiv::mesh::MakeIdentifier({2026, 12, 6, 9, 0, 0, 0}, ++id) +
                                 kiv::mesh::BuildMessage(tag, fields);
        const auto datagrams = kiv::mesh::CutDatagrams(kiv::mesh::FrameText(text, true));
        return Datagram{datagrams.at(0), 0x0A000000u + static_cast<std::uint32_t>(peer)};
    };
    auto name = [](int peer) { return "PC" + std::to_string(peer); };
    auto address = [](int peer) { return kiv::mesh::InetNtoa(0x0A000000u + static_cast<std::uint32_t>(peer)); };
    for (int p = 1; p <= kPeers; ++p) {
        const auto login = message(kiv::mesh_tags::Login, p,
                                   {name(p), address(p), "KMC", "user" + std::to_string(p), "100", "0", "0", "0", "0"});
        s.kms.ReceiveDatagram(login.bytes.data(), login.bytes.size(), login.from);
    }
    s.backend.sent.clear();
    for (int round = 0; round < kPerPeer; ++round)
        for (int p = 1; p <= kPeers; ++p)
            flood.push_back(message(kiv::mesh_tags::InfoChange, p,
                                    {name(p), "KMC", address(p), "user" + std::to_string(p), "100", "0", "0", "0",
                                     "0"}));
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& d = flood[i++ % flood.size()];
        TimedReceive(s.kms, d.bytes, d.from);
    }
    if (logins != kPeers || s.kms.LoginCount() != kPeers)
        state.SkipWithError("the peers did not all log in");
}

void BM_FrameAndSend(benchmark::State& state)
{
    Setup s;
    s.kms.SetSecurity(state.range(0) != 0);
    const std::string text = std::string(178, 'm');
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.kms.SendInputMessage(text, "192.168.0.20", "KMC"));
        s.backend.sent.clear();
    }
}

BENCHMARK(BM_ReceiveOneDatagram);
BENCHMARK(BM_ReceiveTwentyDatagrams);
BENCHMARK(BM_Receive255Datagrams)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodFrom200Peers);
BENCHMARK(BM_Unframe255Pieces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineBreakStuffedSlotDatagram)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReplaceTextNestedLineBreaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameAndSend)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
