// Two components over real UDP sockets on one port, on the POSIX poll loop or on Winsock with
// hidden windows. Runs only inside a private network namespace (run-in-netns.sh,
// wine-sockets.sh), where broadcasts loop back on lo and go nowhere else.
#include <gtest/gtest.h>

#include "SocketPeer.h"

namespace kiv::test {
namespace {

constexpr int kPort = 51777;

struct Peer : SocketPeer {
    Peer(const std::string& machine, const std::string& disc) : SocketPeer(machine, disc, kPort) {}
};

// Runs both loops until done() holds, or half a minute has passed (a bound for a busy machine).
template <typename Done>
bool RunUntil(Peer& a, Peer& b, Done done)
{
    return test::RunUntil({&a, &b}, 30000, done);
}

TEST(Sockets, LoginPromptAnswerAndLogout)
{
    Peer kiv("KIVPC", "Kiv"), console("CONSOLE1", "KMC");
    kiv.kms.SetMenu(true);
    kiv.kms.SetSecurity(true);
    const std::string menuText = "【Kiv KestrelMesh Menu】\r\rパスワード\r\n" + std::string(1500, 'x');
    std::vector<std::string> seen;
    kiv.kms.OnMenuRequest = [&](const MeshRequest& r) {
        kiv.kms.SendInputSelect(menuText, "■ はい&:■ いいえ", "Yes&:No", "Menu", r.MachineName, r.Discrimination);
    };
    kiv.kms.OnInputReturn = [&](const MeshRequest& r) { seen.push_back("kiv got " + r.Key + "=" + r.Answer); };
    console.kms.OnInputSelect = [&](auto& msg, auto& list, auto&, auto& tag, auto&, auto& m, auto& d) {
        seen.push_back(msg == menuText && list == "■ はい&:■ いいえ" ? "prompt intact" : "prompt damaged");
        console.kms.SendInputReturn(tag, "Yes", m, d);
    };
    int consoleLogouts = 0;
    kiv.kms.OnLogout = [&](const PeerInfo& p) { consoleLogouts += p.MachineName == "CONSOLE1"; };

    ASSERT_TRUE(kiv.kms.Start());
    ASSERT_TRUE(console.kms.Start());
    kiv.kms.Login();
    console.kms.Login();
    // Each sees itself (its own broadcast comes back) and the other.
    ASSERT_TRUE(RunUntil(kiv, console, [&] { return kiv.kms.LoginCount() == 2 && console.kms.LoginCount() == 2; }));
    ASSERT_TRUE(console.kms.SendMenuCheck("KIVPC", "Kiv"));
    ASSERT_TRUE(RunUntil(kiv, console, [&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"prompt intact", "kiv got Menu=Yes"}));
    console.kms.Stop();
    ASSERT_TRUE(RunUntil(kiv, console, [&] { return consoleLogouts == 1; }));
    EXPECT_EQ(kiv.kms.LoginCount(), 1);
}

// Handles the first socket notification of the component's UDP socket, and nothing else. The
// message pump of Windows would go on with the notifications that follow, so there the one
// message is taken by hand.
bool HandleOneNotification(Peer& p)
{
#ifdef _WIN32
    const auto end = p.backend.NowMilliseconds() + 30000;
    MSG msg;
    while (!PeekMessageA(&msg, p.backend.Handle(), mesh::kMeshSocketMessage, mesh::kMeshSocketMessage,
                         PM_REMOVE)) {
        if (p.backend.NowMilliseconds() > end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    DispatchMessageA(&msg);
#else
    p.backend.RunOnce(30000);
#endif
    return true;
}

// Datagrams that pile up while the program is busy: one notification takes 64 of them, the
// rest follow, none lost and all in the order they were sent.
TEST(Sockets, ABurstIsHandledInArrivalOrder)
{
    Peer kiv("KIVPC", "Kiv"), console("CONSOLE1", "KMC");
    std::vector<std::string> answers;
    kiv.kms.OnInputReturn = [&](const MeshRequest& r) { answers.push_back(r.Answer); };
    ASSERT_TRUE(kiv.kms.Start());
    ASSERT_TRUE(console.kms.Start());
    kiv.kms.Login();
    console.kms.Login();
    ASSERT_TRUE(RunUntil(kiv, console, [&] { return kiv.kms.LoginCount() == 2 && console.kms.LoginCount() == 2; }));
    // What the logins sent is taken before the burst comes: it came before a marker, which Kiv
    // has taken once it answered it.
    ASSERT_TRUE(console.kms.SendInputReturn("Menu", "marker", "KIVPC", "Kiv"));
    ASSERT_TRUE(RunUntil(kiv, console, [&] { return !answers.empty(); }));
    ASSERT_EQ(answers, std::vector<std::string>{"marker"});
    answers.clear();

    constexpr int kBurst = 150;
    std::vector<std::string> sent;
    for (int i = 0; i < kBurst; ++i) {
        sent.push_back(std::to_string(i));
        ASSERT_TRUE(console.kms.SendInputReturn("Menu", sent.back(), "KIVPC", "Kiv"));
    }
    ASSERT_TRUE(HandleOneNotification(kiv));
    EXPECT_EQ(answers.size(), 64u);
    ASSERT_TRUE(RunUntil(kiv, console, [&] { return answers.size() >= kBurst; }));
    EXPECT_EQ(answers, sent);
}

}  // namespace
}  // namespace kiv::test
