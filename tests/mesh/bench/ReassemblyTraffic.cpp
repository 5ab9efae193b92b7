// How well reassembly keeps messages apart: several programs on one machine (one source
// address) send multi-datagram messages at the same time, with datagrams lost, repeated,
// reordered or junk in between, and the receiver sometimes busy elsewhere. For each kind of
// traffic it prints how many of the sent messages arrived intact and how many dispatched texts
// were garbled (a text no sender sent). Deterministic: a fixed seed.
// Usage: kiv_mesh_reassembly_traffic [MESSAGES_PER_KIND]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "FakeMeshBackend.h"
#include "KestrelMesh.h"

namespace {

using kiv::TKestrelMesh;
using kiv::test::FakeMeshBackend;

struct Traffic {
    const char* name;
    int senders;            // programs on the one source machine, sending at the same time
    double gapMs;           // mean pause between two messages of one sender
    double lost = 0;        // share of datagrams that never arrive
    double repeated = 0;    // share of datagrams that arrive twice
    double junk = 0;        // share of datagrams followed by a stray one-byte datagram
    double reordered = 0;   // share of messages whose datagrams arrive shuffled
    double paused = 0;      // share of datagrams before which the receiver is busy for 1.5 s
    bool scrambled = false; // the senders' Security
};

const Traffic kTraffic[] = {
    {"one sender", 1, 20},
    {"two senders, interleaved", 2, 0.2},
    {"three senders, interleaved", 3, 0.3},
    {"two senders, interleaved, scrambled", 2, 0.2, 0, 0, 0, 0, 0, true},
    {"two senders, 5% of messages reordered", 2, 0.2, 0, 0, 0, 0.05},
    {"one sender, 3% lost, sparse", 1, 3000, 0.03},
    {"one sender, 3% lost, bursty", 1, 2, 0.03},
    {"two senders, 3% lost, sparse", 2, 3000, 0.03},
    {"two senders, 3% lost, interleaved", 2, 0.2, 0.03},
    {"two senders, 3% repeated", 2, 0.2, 0, 0.03},
    {"two senders, 3% junk", 2, 0.2, 0, 0, 0.03},
    {"two senders, receiver busy at 1% of datagrams", 2, 0.2, 0, 0, 0, 0, 0.01},
    {"three senders, 2% lost, repeated, junk, reordered", 3, 50, 0.02, 0.02, 0.02, 0.02},
};

struct Arrival {
    double at;  // milliseconds, when the datagram reaches the receiver's socket
    std::string bytes;
};

struct Outcome {
    int sent = 0, intact = 0, garbled = 0;
};

Outcome Run(const Traffic& t, int messagesPerSender, std::mt19937& rng)
{
    FakeMeshBackend backend;
    TKestrelMesh kms{backend, 7};
    kms.SetDiscrimination("Kiv");
    kms.SetFTPPortNo(0);
    std::map<std::string, int> answers;  // answer text -> how often it was dispatched
    kms.OnInputReturn = [&](const kiv::MeshRequest& r) { ++answers[r.Answer]; };
    kms.Start();
    kms.Login();

    // Sizes of one, two and three datagrams, most of them alike, so that the piece sizes alone
    // cannot tell two messages apart.
    const std::size_t answerSizes[] = {700, 700, 700, 1200, 1200, 60};
    std::uniform_real_distribution<double> chance(0, 1);
    std::exponential_distribution<double> gap(1.0 / t.gapMs);
    std::vector<Arrival> arrivals;
    std::set<std::string> sent;
    int serial = 0;
    for (int s = 0; s < t.senders; ++s) {
        double clock = static_cast<double>(backend.now) + gap(rng);
        for (int m = 0; m < messagesPerSender; ++m) {
            std::string answer = "s" + std::to_string(s) + "m" + std::to_string(m) + ":";
            answer.resize(answerSizes[rng() % std::size(answerSizes)], static_cast<char>('a' + (serial % 26)));
            sent.insert(answer);
            const std::string text = kiv::mesh::MakeIdentifier({2026, 12, 10, 9, 0, 0, 0}, ++serial) +
                                     kiv::mesh::BuildMessage(kiv::mesh_tags::InputReturn,
                                                             {kms.IPAddress(), "Kiv", "Taro", "PC1", "KMC", "Menu",
                                                              answer});
            auto datagrams = kiv::mesh::CutDatagrams(kiv::mesh::FrameText(text, t.scrambled));
            if (chance(rng) < t.reordered)
                std::shuffle(datagrams.begin(), datagrams.end(), rng);
            for (const auto& d : datagrams) {
                if (chance(rng) >= t.lost)
                    arrivals.push_back({clock, d});
                if (chance(rng) < t.repeated)
                    arrivals.push_back({clock + 0.001 + chance(rng), d});
                if (chance(rng) < t.junk)
                    arrivals.push_back({clock + 0.001, std::string("\x01", 1)});
                clock += 0.02;  // a sender puts its datagrams on the wire one right after the other
            }
            clock += gap(rng);
        }
    }
    std::stable_sort(arrivals.begin(), arrivals.end(), [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
    const std::uint32_t from = *kiv::mesh::InetAddr("192.168.0.20");
    double busy = 0;  // how far the receiver has fallen behind the socket
    for (const auto& a : arrivals) {
        if (chance(rng) < t.paused)
            busy += 1500;
        const auto at = static_cast<std::uint64_t>(a.at + busy);
        if (at > backend.now)
            backend.Advance(kms, at - backend.now);
        kms.ReceiveDatagram(a.bytes.data(), a.bytes.size(), from);
    }
    Outcome out;
    out.sent = static_cast<int>(sent.size());
    for (const auto& [answer, times] : answers) {
        if (sent.count(answer))
            ++out.intact;
        else
            out.garbled += times;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    const int perKind = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3000;
    std::printf("%-52s %7s %7s %7s\n", "traffic (one source)", "sent", "intact", "garbled");
    for (const auto& t : kTraffic) {
        std::mt19937 rng(20261210);
        const Outcome o = Run(t, perKind / t.senders, rng);
        std::printf("%-52s %7d %7d %7d\n", t.name, o.sent, o.intact, o.garbled);
    }
    return 0;
}
