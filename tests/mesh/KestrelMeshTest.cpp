#include "KestrelMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "FakeMeshBackend.h"
#include "FileBytes.h"
#include "TempDir.h"

namespace kiv::test {
namespace {

using mesh::BuildMessage;
using mesh::GetField;
namespace tags = mesh_tags;

const std::string kConsoleIp = "192.168.0.20";
const std::string kMyIp = "192.168.0.10";

std::uint32_t Ip(const std::string& text)
{
    return *mesh::InetAddr(text);
}

// A started and logged-in component ("Kiv" on KIVPC at 192.168.0.10) over a fake backend.
struct MeshFixture : ::testing::Test {
    MeshFixture()
    {
        kms.SetDiscrimination("Kiv");
        kms.SetHandleName("Kiv");
        kms.SetVersion(201);
        kms.SetFTPPortNo(0);
        kms.SetMenu(true);
    }
    void StartAndLogin()
    {
        ASSERT_TRUE(kms.Start());
        ASSERT_TRUE(kms.Login());
        backend.sent.clear();
    }
    // A message from the console, with a fresh identifier.
    void FromConsole(const std::string& body, bool security = false)
    {
        Deliver(kms, NextId() + body, kConsoleIp, security);
    }
    std::string NextId() { return mesh::MakeIdentifier({2026, 12, 6, 10, 0, 0, 0}, ++idCounter); }
    // Fields 1..6 of an addressed message from the console to this component.
    std::vector<std::string> Addressed(std::vector<std::string> rest, const std::string& ip = kMyIp,
                                       const std::string& disc = "Kiv")
    {
        std::vector<std::string> fields{ip, disc, "Taro", "CONSOLE1"};
        fields.insert(fields.end(), rest.begin(), rest.end());
        return fields;
    }
    std::string LoginFrom(const std::string& machine, const std::string& ip, const std::string& handle,
                          const std::string& version = "100", const std::string& absence = "0",
                          const std::string& ftp = "0")
    {
        return BuildMessage(tags::Login, {machine, ip, "KMC", handle, version, absence, "0", "0", ftp});
    }

    FakeMeshBackend backend;
    TKestrelMesh kms{backend, 1};
    int idCounter = 0;
};

TEST_F(MeshFixture, StartBindsPortAndRunsTheSweep)
{
    kms.SetPortNo(51234);
    ASSERT_TRUE(kms.Start());
    EXPECT_EQ(backend.boundPort, 51234);
    EXPECT_EQ(kms.MachineName(), "KIVPC");
    EXPECT_EQ(kms.IPAddress(), kMyIp);
    EXPECT_EQ(backend.timers.at(kSweepTimerId).interval, 5000u);
    EXPECT_FALSE(kms.Start());  // already started
    EXPECT_EQ(backend.opens, 1);
}

TEST_F(MeshFixture, FileTransferListenerFollowsFTPPortNo)
{
    struct Case {
        int ftpPort;
        bool listenSucceeds;
        bool started;
        int listenedOn;
    } cases[] = {{0, true, true, 0}, {52000, true, true, 52000}, {52001, false, false, 52001}};
    for (const auto& c : cases) {
        FakeMeshBackend b;
        b.listenSucceeds = c.listenSucceeds;
        TKestrelMesh k{b, 1};
        k.SetFTPPortNo(c.ftpPort);
        EXPECT_EQ(k.Start(), c.started) << c.ftpPort;
        EXPECT_EQ(b.listenPort, c.listenedOn) << c.ftpPort;
        EXPECT_EQ(k.FTPSocketNo() != mesh::MeshBackend::kNoSocket, c.started && c.ftpPort != 0) << c.ftpPort;
        k.Stop();
        EXPECT_EQ(k.FTPSocketNo(), mesh::MeshBackend::kNoSocket);
        EXPECT_EQ(b.closedTcp.size(), c.started && c.ftpPort != 0 ? 1u : 0u) << c.ftpPort;
    }
}

TEST_F(MeshFixture, FailedStartLeavesTheComponentStopped)
{
    backend.localAddress.reset();
    EXPECT_FALSE(kms.Start());
    EXPECT_FALSE(kms.Started());
    EXPECT_FALSE(backend.open);
    EXPECT_TRUE(backend.timers.empty());
    backend.localAddress = kMyIp;
    EXPECT_TRUE(kms.Start());
}

TEST_F(MeshFixture, LoginAndLogoutOnlyInTheirStates)
{
    EXPECT_FALSE(kms.Login());  // stopped
    EXPECT_FALSE(kms.Logout());
    ASSERT_TRUE(kms.Start());
    EXPECT_FALSE(kms.Logout());
    EXPECT_TRUE(kms.Login());
    EXPECT_FALSE(kms.Login());
    ASSERT_EQ(backend.BroadcastBodies(), std::vector<std::string>{BuildMessage(
                                             tags::Login, {"KIVPC", kMyIp, "Kiv", "Kiv", "201", "0", "1", "0", "0"})});
    EXPECT_TRUE(kms.Logout());
    EXPECT_FALSE(kms.LoginStates());
    EXPECT_EQ(backend.BroadcastBodies().back(), BuildMessage(tags::Logout, {"KIVPC", "Kiv"}));
}

TEST_F(MeshFixture, StopWhileLoggedInBroadcastsLogoutFirst)
{
    StartAndLogin();
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro"));
    kms.SetAbsence(true);
    kms.SetAbsenceMessage("away");
    backend.sent.clear();
    kms.Stop();
    EXPECT_EQ(backend.BroadcastBodies(), std::vector<std::string>{BuildMessage(tags::Logout, {"KIVPC", "Kiv"})});
    EXPECT_FALSE(backend.open);
    EXPECT_EQ(kms.LoginCount(), 0);
    EXPECT_TRUE(kms.MachineName().empty());
    EXPECT_FALSE(kms.Absence());
    EXPECT_TRUE(kms.AbsenceMessage().empty());
    EXPECT_EQ(backend.timers.count(kSweepTimerId), 0u);
    EXPECT_TRUE(kms.Start());  // and again
}

TEST_F(MeshFixture, EveryMessageGoesToBroadcastThenEachBroadcastIpItem)
{
    kms.SetBroadcastIP("192.168.1.255&|NOTANADDRESS&|10.0.0.255&|&|10.9.9.9");
    kms.SetSecurity(true);
    StartAndLogin();
    kms.Logout();
    ASSERT_EQ(backend.sent.size(), 3u);  // stops at the empty item; the bad one is skipped
    EXPECT_EQ(backend.sent[0].address, kLimitedBroadcast);
    EXPECT_EQ(backend.sent[1].address, Ip("192.168.1.255"));
    EXPECT_EQ(backend.sent[2].address, Ip("10.0.0.255"));
    EXPECT_EQ(backend.sent[0].port, 51000);
    EXPECT_EQ(backend.sent[0].bytes.substr(1, 1), "1");  // scrambled
    EXPECT_EQ(backend.TextsTo(Ip("10.0.0.255")), backend.Broadcasts());
}

// A socket that would block keeps the rest of a message, and every later message, waiting in
// order until it reports that it takes more; nothing is retried in a loop. A failure ends its
// message; too much waiting refuses a new message.
TEST_F(MeshFixture, DatagramsTheSocketWouldNotTakeWaitForIt)
{
    StartAndLogin();
    using R = mesh::MeshBackend::SendResult;
    backend.sendResults = {R::Sent, R::WouldBlock};
    const std::string first = NextId() + std::string(1200, 'x');  // three datagrams
    EXPECT_TRUE(kms.SendFragments(first));
    EXPECT_EQ(backend.sent.size(), 1u);
    EXPECT_EQ(kms.QueuedDatagrams(), 2u);
    const std::string second = NextId() + "after";
    EXPECT_TRUE(kms.SendFragments(second));  // behind the first, not before it
    EXPECT_EQ(backend.sent.size(), 1u);
    backend.sendResults = {R::Sent, R::WouldBlock};
    kms.UdpWritable();
    EXPECT_EQ(backend.sent.size(), 2u);
    kms.UdpWritable();
    EXPECT_EQ(kms.QueuedDatagrams(), 0u);
    EXPECT_EQ(backend.TextsTo(kLimitedBroadcast), (std::vector<std::string>{first, second}));

    // A failed datagram drops the rest of its message; the next message goes on.
    backend.sent.clear();
    backend.sendResults = {R::WouldBlock};
    EXPECT_TRUE(kms.SendFragments(NextId() + std::string(1200, 'y')));
    const std::string third = NextId() + "third";
    EXPECT_TRUE(kms.SendFragments(third));
    backend.sendResults = {R::Failed};
    kms.UdpWritable();
    EXPECT_EQ(backend.Broadcasts(), std::vector<std::string>{third});

    // Bounded: a message that does not fit behind what waits is not sent.
    backend.sent.clear();
    backend.sendResults.assign(1, R::WouldBlock);
    for (std::size_t queued = 0; queued + 3 <= kMaxQueuedDatagrams; queued += 3)
        ASSERT_TRUE(kms.SendFragments(NextId() + std::string(1200, 'z')));
    EXPECT_FALSE(kms.SendFragments(NextId() + std::string(1200, 'z')));
    EXPECT_LE(kms.QueuedDatagrams(), kMaxQueuedDatagrams);

    backend.sendResults = {R::Failed};
    kms.SetBroadcastIP("10.0.0.255");
    kms.Stop();  // what waits goes with the socket
    EXPECT_EQ(kms.QueuedDatagrams(), 0u);
    ASSERT_TRUE(kms.Start());
    ASSERT_TRUE(kms.Login());
    backend.sent.clear();
    backend.sendResults = {R::Failed};
    EXPECT_FALSE(kms.SendText("x"));  // a failed broadcast skips the extra addresses
    EXPECT_TRUE(backend.sent.empty());
}

TEST_F(MeshFixture, OversizedMessagesAreNotSent)
{
    StartAndLogin();
    EXPECT_FALSE(kms.SendFragments(std::string(mesh::kMaxMessageLength + 1, 'x')));
    kms.SetSecurity(true);  // scrambling doubles the framed size: beyond 255 datagrams
    EXPECT_FALSE(kms.SendFragments(std::string(70000, 'x')));
    EXPECT_TRUE(backend.sent.empty());
    EXPECT_TRUE(kms.SendFragments(std::string(60000, 'x')));
}

struct PeerEvents {
    std::vector<std::string> log;
    void Attach(TKestrelMesh& kms)
    {
        kms.OnLogin = [this](const PeerInfo& p) {
            log.push_back("login " + p.HandleName + " " + p.MachineName + " " + p.IPAddress + " " + p.Discrimination +
                          " " + std::to_string(p.Version) + " " + (p.Absence ? "away" : "here") + " " +
                          std::to_string(p.FTPPort));
        };
        kms.OnInfoChange = [this](const PeerInfo& p) {
            log.push_back("change " + p.HandleName + " " + p.MachineName + " " + p.IPAddress + " " +
                          p.Discrimination + " " + std::to_string(p.Version) + " " + (p.Absence ? "away" : "here"));
        };
        kms.OnLogout = [this](const PeerInfo& p) {
            log.push_back("logout " + p.HandleName + " " + p.MachineName + " " + p.IPAddress + " " + p.Discrimination);
        };
    }
};

// The peer events carry the peer's values and the address the reporting message came from;
// the requests carry their names, their source, and an answer's key and text.
TEST_F(MeshFixture, EventsCarryTheirValues)
{
    std::vector<PeerInfo> peers;
    kms.OnLogin = [&](const PeerInfo& p) { peers.push_back(p); };
    StartAndLogin();
    Deliver(kms, NextId() + LoginFrom("CONSOLE1", "10.0.0.9", "Taro"), kConsoleIp);
    ASSERT_EQ(peers.size(), 1u);
    EXPECT_EQ(peers[0], (PeerInfo{"Taro", "CONSOLE1", "10.0.0.9", "KMC", 100, false, false, false, 0, kConsoleIp}));

    std::vector<std::string> log;
    kms.OnLogin = [&](const PeerInfo& p) {
        log.push_back("login " + p.HandleName + " " + p.MachineName + " " + p.IPAddress + " " + p.Discrimination + " " +
                      std::to_string(p.Version));
    };
    kms.OnInfoChange = [&](const PeerInfo& p) {
        log.push_back("change " + p.MachineName + " " + p.HandleName + " " + p.IPAddress + " " + p.Discrimination);
    };
    kms.OnLogout = [&](const PeerInfo& p) {
        log.push_back("logout " + p.HandleName + " " + p.MachineName + " " + p.IPAddress + " " + p.Discrimination);
    };
    kms.OnMenuRequest = [&](const MeshRequest& r) {
        log.push_back("menu " + r.HandleName + " " + r.MachineName + " " + r.Discrimination + " " + r.Source);
    };
    kms.OnInputReturn = [&](const MeshRequest& r) {
        log.push_back("return " + r.Key + " " + r.Answer + " " + r.HandleName + " " + r.MachineName + " " +
                      r.Discrimination);
    };
    FromConsole(LoginFrom("CONSOLE2", kConsoleIp, "Jiro"));
    FromConsole(LoginFrom("CONSOLE2", kConsoleIp, "Saburo"));
    FromConsole(BuildMessage(tags::MenuCheck, Addressed({kConsoleIp, "KMC"})));
    FromConsole(BuildMessage(tags::InputReturn, Addressed({"KMC", "Menu", "Connect"})));
    FromConsole(BuildMessage(tags::Logout, {"CONSOLE2", "KMC"}));
    EXPECT_EQ(log, (std::vector<std::string>{"login Jiro CONSOLE2 192.168.0.20 KMC 100",
                                             "change CONSOLE2 Saburo 192.168.0.20 KMC", "menu Taro CONSOLE1 KMC 192.168.0.20",
                                             "return Menu Connect Taro CONSOLE1 KMC",
                                             "logout Saburo CONSOLE2 192.168.0.20 KMC"}));
}

TEST_F(MeshFixture, LoginKeepsThePeerTable)
{
    PeerEvents events;
    events.Attach(kms);
    StartAndLogin();
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro", "100", "0", "52000"));
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro"));                  // only FTP differs
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro", "100", "1"));      // absence
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Jiro", "100", "256"));    // low byte 0: not away
    EXPECT_EQ(events.log, (std::vector<std::string>{
                              "login Taro CONSOLE1 192.168.0.20 KMC 100 here 52000",
                              "change Taro CONSOLE1 192.168.0.20 KMC 100 away",
                              "change Jiro CONSOLE1 192.168.0.20 KMC 100 here",
                          }));
    ASSERT_EQ(kms.LoginCount(), 1);
    EXPECT_EQ(kms.LoginUser(0).FTPPort, 0);  // overwritten with the change
    // Every LOGIN is answered with a LOGIN_OK to its fields 2 and 3.
    const auto bodies = backend.BroadcastBodies();
    ASSERT_EQ(bodies.size(), 4u);
    EXPECT_EQ(bodies[0], BuildMessage(tags::LoginOk, {kConsoleIp, "KMC", "KIVPC", kMyIp, "Kiv", "Kiv", "201", "0",
                                                      "1", "0", "0"}));
}

TEST_F(MeshFixture, LoginWithBadNumbersIsAnsweredButNotRecorded)
{
    PeerEvents events;
    events.Attach(kms);
    StartAndLogin();
    for (const char* version : {"abc", "", " 1x"})
        FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro", version));
    FromConsole(BuildMessage(tags::Login, {"CONSOLE1", kConsoleIp, "KMC", "Taro", "1", "0"}));  // no Menu field
    EXPECT_TRUE(events.log.empty());
    EXPECT_EQ(kms.LoginCount(), 0);
    EXPECT_EQ(backend.Broadcasts().size(), 4u);
    FromConsole(BuildMessage(tags::Login, {"CONSOLE1", kConsoleIp, "KMC", "Taro", "1", "0", "0", "x", "y"}));
    EXPECT_EQ(kms.LoginCount(), 1);  // Chat and FTPPort default to 0
}

TEST_F(MeshFixture, LogoutRemovesAndCloses)
{
    PeerEvents events;
    events.Attach(kms);
    StartAndLogin();
    for (const char* m : {"PC1", "PC2", "PC3"})
        FromConsole(LoginFrom(m, kConsoleIp, "H"));
    events.log.clear();
    FromConsole(BuildMessage(tags::Logout, {"PC9", "KMC"}));
    FromConsole(BuildMessage(tags::Logout, {"PC1", "OTHER"}));
    EXPECT_TRUE(events.log.empty());
    FromConsole(BuildMessage(tags::Logout, {"PC1", "KMC"}));
    EXPECT_EQ(events.log, std::vector<std::string>{"logout H PC1 192.168.0.20 KMC"});
    ASSERT_EQ(kms.LoginCount(), 2);
    EXPECT_EQ(kms.LoginUser(0).MachineName, "PC2");
    EXPECT_EQ(kms.LoginUser(1).MachineName, "PC3");
    EXPECT_TRUE(kms.LoginUser(2).MachineName.empty());
}

TEST_F(MeshFixture, FullPeerTableGivesWayToNewcomers)
{
    int logins = 0;
    std::vector<std::string> gone;
    kms.OnLogin = [&](const PeerInfo&) { ++logins; };
    kms.OnLogout = [&](const PeerInfo& p) { gone.push_back(p.MachineName); };
    StartAndLogin();
    for (int i = 0; i < kPeerTableSize; ++i)
        kms.UpdatePeer(PeerInfo{"H", "PC" + std::to_string(i), kConsoleIp, "KMC", 1});
    // PC0 announces itself again (unchanged), PC1 asks for a menu: both were heard from lately.
    kms.UpdatePeer(PeerInfo{"H", "PC0", kConsoleIp, "KMC", 1});
    FromConsole(BuildMessage(tags::MenuCheck, {kMyIp, "Kiv", "H", "PC1", kConsoleIp, "KMC"}));
    kms.UpdatePeer(PeerInfo{"H", "NEW1", kConsoleIp, "KMC", 1});
    kms.UpdatePeer(PeerInfo{"H", "NEW2", kConsoleIp, "KMC", 1});
    EXPECT_EQ(kms.LoginCount(), kPeerTableSize);
    EXPECT_EQ(logins, kPeerTableSize + 2);
    EXPECT_EQ(gone, (std::vector<std::string>{"PC2", "PC3"}));
    EXPECT_EQ(kms.FindPeerAddress("PC0"), kConsoleIp);
    EXPECT_EQ(kms.FindPeerAddress("PC1"), kConsoleIp);
    // The table keeps the order in which peers became known.
    EXPECT_EQ(kms.LoginUser(kPeerTableSize - 2).MachineName, "NEW1");
    EXPECT_EQ(kms.LoginUser(kPeerTableSize - 1).MachineName, "NEW2");
}

// Peers are found by name and Discrimination after any churn of arrivals, departures and
// evictions: the same name under two Discriminations is two peers, and a peer that moved up
// in the table after a departure is still the one found.
TEST_F(MeshFixture, PeersAreFoundAfterChurn)
{
    int logins = 0, logouts = 0;
    kms.OnLogin = [&](const PeerInfo&) { ++logins; };
    kms.OnLogout = [&](const PeerInfo&) { ++logouts; };
    StartAndLogin();
    const auto add = [&](const std::string& m, const std::string& d) {
        kms.UpdatePeer(PeerInfo{"H", m, kConsoleIp, d, 1});
    };
    for (int i = 0; i < 200; ++i)
        add("PC" + std::to_string(i), i % 2 ? "KMA" : "KMB");
    for (int i = 0; i < 200; i += 3)
        kms.RemovePeer("PC" + std::to_string(i), i % 2 ? "KMA" : "KMB");
    for (int i = 0; i < 150; ++i)  // fills the table, then the oldest give way
        add("PC" + std::to_string(i), "KMC");
    EXPECT_EQ(kms.LoginCount(), kPeerTableSize);
    const int loginsBefore = logins, logoutsBefore = logouts;
    std::vector<std::pair<std::string, std::string>> present;
    for (int i = 0; i < kms.LoginCount(); ++i) {
        present.emplace_back(kms.LoginUser(i).MachineName, kms.LoginUser(i).Discrimination);
        add(present.back().first, present.back().second);  // known: no new login
    }
    EXPECT_EQ(logins, loginsBefore);
    for (int i = 0; i < 200; ++i)
        kms.RemovePeer("PC" + std::to_string(i), "KMX");  // unknown: nothing leaves
    EXPECT_EQ(logouts, logoutsBefore);
    for (std::size_t k = 0; k < present.size(); k += 2)  // every other one, from the back
        kms.RemovePeer(present[present.size() - 1 - k].first, present[present.size() - 1 - k].second);
    for (const auto& [machine, disc] : present)
        kms.RemovePeer(machine, disc);
    EXPECT_EQ(kms.LoginCount(), 0);
    EXPECT_EQ(logouts, logoutsBefore + kPeerTableSize);
}

// Made-up names by the hundred do not keep a real console out of the menu.
TEST_F(MeshFixture, LoginFloodLeavesRoomForARealConsole)
{
    std::vector<std::string> menus;
    kms.OnMenuRequest = [&](const MeshRequest& r) {
        menus.push_back(r.MachineName);
        kms.SendInputLine("pw?", "pw", "Password", r.MachineName, r.Discrimination, true);
    };
    StartAndLogin();
    for (int i = 0; i < 300; ++i)
        Deliver(kms, NextId() + LoginFrom("FAKE" + std::to_string(i), "10.9.0." + std::to_string(i % 250), "x"),
                "10.9.0.1");
    backend.sent.clear();
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro"));
    ASSERT_EQ(backend.BroadcastBodies().size(), 1u);
    EXPECT_EQ(GetField(backend.BroadcastBodies()[0], 0), tags::LoginOk);
    backend.sent.clear();
    FromConsole(BuildMessage(tags::MenuCheck, {kMyIp, "Kiv", "Taro", "CONSOLE1", kConsoleIp, "KMC"}));
    EXPECT_EQ(menus, std::vector<std::string>{"CONSOLE1"});
    ASSERT_EQ(backend.BroadcastBodies().size(), 1u);
    EXPECT_EQ(GetField(backend.BroadcastBodies()[0], 1), kConsoleIp);
}

TEST_F(MeshFixture, LoginOkAndInfoChangeReadTheirOwnLayouts)
{
    PeerEvents events;
    events.Attach(kms);
    StartAndLogin();
    auto loginOk = [&](const std::string& disc, const std::string& handle, const std::string& to = kMyIp) {
        FromConsole(BuildMessage(tags::LoginOk, {to, "Kiv", "PCX", "192.168.0.30", disc, handle, "7", "0", "0", "0",
                                                 "0"}));
    };
    loginOk("Kiv", "Someone");     // f5 equal to the own Discrimination is not what is checked
    loginOk("KMC", "Kiv");         // f6 equal to the own Discrimination: ignored
    loginOk(kMyIp, "Taro");        // f5 equal to the own address: ignored
    loginOk("KMC", "Taro", "192.168.0.99");  // not for us
    FromConsole(BuildMessage(tags::InfoChange, {"PCX", "Kiv", "192.168.0.31", "Renamed", "8", "1", "0", "0", "0"}));
    EXPECT_EQ(events.log, (std::vector<std::string>{"login Someone PCX 192.168.0.30 Kiv 7 here 0",
                                                    "change Renamed PCX 192.168.0.31 Kiv 8 away"}));
    EXPECT_TRUE(backend.sent.empty());
}

TEST_F(MeshFixture, DuplicatesAreDispatchedOnceUntilElevenOthersPassed)
{
    int menus = 0;
    kms.OnMenuRequest = [&](const MeshRequest&) { ++menus; };
    StartAndLogin();
    const std::string text = NextId() + BuildMessage(tags::MenuCheck, Addressed({kConsoleIp, "KMC"}));
    Deliver(kms, text, kConsoleIp);
    Deliver(kms, text, "10.0.0.1");  // the same message via a BroadcastIP address
    EXPECT_EQ(menus, 1);
    for (int i = 0; i < 10; ++i)
        FromConsole(BuildMessage("KMMESSAGE:NOTHING", {}));
    Deliver(kms, text, kConsoleIp);
    EXPECT_EQ(menus, 1);  // still among the last eleven
    for (int i = 0; i < 11; ++i)
        FromConsole(BuildMessage("KMMESSAGE:NOTHING", {}));
    Deliver(kms, text, kConsoleIp);
    EXPECT_EQ(menus, 2);
}

TEST_F(MeshFixture, MessagesWhileLoggedOutAreRecordedButNotHandled)
{
    int menus = 0;
    kms.OnMenuRequest = [&](const MeshRequest&) { ++menus; };
    ASSERT_TRUE(kms.Start());
    const std::string text = NextId() + BuildMessage(tags::MenuCheck, Addressed({kConsoleIp, "KMC"}));
    Deliver(kms, text, kConsoleIp);
    ASSERT_TRUE(kms.Login());
    Deliver(kms, text, kConsoleIp);
    EXPECT_EQ(menus, 0);
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro"));
    EXPECT_EQ(kms.LoginCount(), 1);
}

TEST_F(MeshFixture, MenuCheckIsAnsweredWithMenuNothingUnlessHandled)
{
    std::vector<std::string> requests;
    StartAndLogin();
    const auto ask = [&] { FromConsole(BuildMessage(tags::MenuCheck, Addressed({"192.168.0.21", "KMC"}))); };
    ask();  // no handler
    kms.OnMenuRequest = [&](const MeshRequest& r) {
        requests.push_back(r.HandleName + " " + r.MachineName + " " + r.Discrimination + " " + r.Source);
    };
    kms.SetMenu(false);
    ask();
    const std::string nothing =
        BuildMessage(tags::MenuNothing, {"192.168.0.21", "KMC", "Kiv", "KIVPC", "Kiv"});
    EXPECT_EQ(backend.BroadcastBodies(), (std::vector<std::string>{nothing, nothing}));
    EXPECT_TRUE(requests.empty());
    kms.SetMenu(true);
    backend.sent.clear();
    ask();
    // The request carries the address its datagrams came from, not the one its fields name.
    EXPECT_EQ(requests, std::vector<std::string>{"Taro CONSOLE1 KMC " + kConsoleIp});
    EXPECT_TRUE(backend.sent.empty());
}

TEST_F(MeshFixture, HuzaiCheckAnswersAbsenceText)
{
    struct Case {
        bool absence;
        std::string text, answer;
    } cases[] = {{false, "", "Nothing"}, {false, "out", "Nothing"}, {true, "", "Nothing"}, {true, "out", "out"}};
    StartAndLogin();
    for (const auto& c : cases) {
        kms.SetAbsence(c.absence);
        kms.SetAbsenceMessage(c.text);
        backend.sent.clear();
        FromConsole(BuildMessage(tags::HuzaiCheck, {kMyIp, "Kiv", kConsoleIp, "KMC", "ignored"}));
        EXPECT_EQ(backend.BroadcastBodies(),
                  std::vector<std::string>{BuildMessage(tags::HuzaiMessage,
                                                        {kConsoleIp, "KMC", "Kiv", "KIVPC", "Kiv", c.answer})});
    }
}

TEST_F(MeshFixture, MessageIsReceiptedWhenItNamesItsSender)
{
    std::vector<std::string> got;
    kms.OnMessage = [&](auto& msg, auto& id, bool letter, auto& h, auto& m, auto& d, auto& time) {
        got.push_back(msg + "|" + id + "|" + (letter ? "L" : "-") + "|" + h + "|" + m + "|" + d + "|" + time);
    };
    StartAndLogin();
    FromConsole(BuildMessage(tags::Message, Addressed({kConsoleIp, "KMC", "ID1", "hello\r\nthere", "1"})));
    FromConsole(BuildMessage(tags::Message, Addressed({"", "KMC", "ID2", "no receipt", "true"})));
    EXPECT_EQ(got, (std::vector<std::string>{
                       "hello\r\nthere|ID1|L|Taro|CONSOLE1|KMC|2026年12月06日 午前 9時05分03秒",
                       "no receipt|ID2|-|Taro|CONSOLE1|KMC|2026年12月06日 午前 9時05分03秒"}));
    EXPECT_EQ(backend.BroadcastBodies(),
              std::vector<std::string>{
                  BuildMessage(tags::MessageOk, {kConsoleIp, "KMC", "Kiv", "KIVPC", "Kiv", "ID1"})});
}

// Each addressed type raises its event with its fields; a wrong address or Discrimination,
// or a tag in the wrong case, raises nothing.
TEST_F(MeshFixture, AddressedTypesRaiseTheirEvents)
{
    std::vector<std::string> log;
    kms.OnMessageOpen = [&](auto& id, auto& h, auto& m, auto& d) { log.push_back("open " + id + h + m + d); };
    kms.OnAbsenceMessage = [&](auto& a, auto& h, auto& m, auto& d, auto&) { log.push_back("away " + a + h + m + d); };
    kms.OnMenuNothing = [&](auto& h, auto& m, auto& d) { log.push_back("nomenu " + h + m + d); };
    kms.OnMessageOk = [&](auto& id, auto& h, auto& m, auto& d) { log.push_back("ok " + id + h + m + d); };
    kms.OnInputSelect = [&](auto& msg, auto& list, auto& ret, auto& tag, auto& h, auto& m, auto& d) {
        log.push_back("select " + msg + list + ret + tag + h + m + d);
    };
    kms.OnInputLine = [&](auto& msg, auto& label, auto& tag, auto& h, auto& m, auto& d, bool pw) {
        log.push_back("line " + msg + label + tag + h + m + d + (pw ? "*" : "-"));
    };
    kms.OnInputText = [&](auto& msg, auto& tag, auto& h, auto& m, auto& d) { log.push_back("text " + msg + tag + h + m + d); };
    kms.OnInputReturn = [&](const MeshRequest& r) {
        log.push_back("return " + r.Key + r.Answer + r.HandleName + r.MachineName + r.Discrimination);
    };
    kms.OnInputMessage = [&](auto& msg, auto& h, auto& m, auto& d, auto&) { log.push_back("msg " + msg + h + m + d); };
    kms.OnChatMessage = [&](const auto&...) { log.push_back("chat"); };
    StartAndLogin();

    FromConsole(BuildMessage(tags::OpenCheck, Addressed({"D", "ID"})));
    FromConsole(BuildMessage(tags::HuzaiMessage, Addressed({"D", "Nothing"})));
    FromConsole(BuildMessage(tags::MenuNothing, Addressed({"D"})));
    FromConsole(BuildMessage(tags::MessageOk, Addressed({"D", "ID"})));
    FromConsole(BuildMessage(tags::InputSelect, Addressed({"D", "Menu", "M", "a&:b", "A&:B"})));
    FromConsole(BuildMessage(tags::InputLine, Addressed({"D", "Password", "M", "L", "257"})));
    FromConsole(BuildMessage(tags::InputLine, Addressed({"D", "Password", "M", "L", "x"})));
    FromConsole(BuildMessage(tags::InputText, Addressed({"D", "T", "M"})));
    FromConsole(BuildMessage(tags::InputReturn, Addressed({"D", "Menu", "Connect"})));
    FromConsole(BuildMessage(tags::InputMessage, Addressed({"D", "M"})));
    FromConsole(BuildMessage(tags::ChatMessage, {"Taro", "CONSOLE1", "", "D", "ID", "hi"}));  // Chat is false
    EXPECT_EQ(log, (std::vector<std::string>{
                       "open IDTaroCONSOLE1D", "away NothingTaroCONSOLE1D", "nomenu TaroCONSOLE1D",
                       "ok IDTaroCONSOLE1D", "select Ma&:bA&:BMenuTaroCONSOLE1D", "line MLPasswordTaroCONSOLE1D*",
                       "line MLPasswordTaroCONSOLE1D-", "text MTTaroCONSOLE1D", "return MenuConnectTaroCONSOLE1D",
                       "msg MTaroCONSOLE1D"}));
    log.clear();
    FromConsole(BuildMessage(tags::InputReturn, Addressed({"D", "Menu", "Connect"}, kMyIp, "KMS")));
    FromConsole(BuildMessage(tags::InputReturn, Addressed({"D", "Menu", "Connect"}, "192.168.0.11")));
    FromConsole(BuildMessage("kmmessage:input_return", Addressed({"D", "Menu", "Connect"})));
    FromConsole(BuildMessage(tags::InputReturn, {kMyIp}));  // no Discrimination: not "Kiv"
    FromConsole("");
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(backend.sent.empty());
}

// An absent field reads as the empty text: a component whose Discrimination is empty takes an
// addressed message that ends after the address.
TEST_F(MeshFixture, AddressWithoutDiscriminationReachesAComponentWithNone)
{
    kms.SetDiscrimination("");
    std::vector<std::string> log;
    kms.OnInputReturn = [&](const MeshRequest& r) {
        log.push_back("return [" + r.Key + r.Answer + r.HandleName + r.MachineName + r.Discrimination + "]");
    };
    kms.OnInputMessage = [&](auto& msg, const auto&...) { log.push_back("msg [" + msg + "]"); };
    StartAndLogin();
    FromConsole(BuildMessage(tags::InputReturn, {kMyIp}));
    FromConsole(BuildMessage(tags::InputMessage, {kMyIp, ""}));
    FromConsole(BuildMessage(tags::InputReturn, {"192.168.0.11"}));  // another machine's
    FromConsole(BuildMessage(tags::InputReturn, {kMyIp, "KMC"}));     // another kind of program
    FromConsole(BuildMessage(tags::HuzaiCheck, {kMyIp}));
    EXPECT_EQ(log, (std::vector<std::string>{"return []", "msg []"}));
    // The question is answered like any other, to its (empty) asker.
    EXPECT_EQ(backend.BroadcastBodies(),
              std::vector<std::string>{BuildMessage(tags::HuzaiMessage, {"", "", "Kiv", "KIVPC", "", "Nothing"})});
}

TEST_F(MeshFixture, UnassignedEventsAreSkipped)
{
    StartAndLogin();
    FromConsole(LoginFrom("CONSOLE1", kConsoleIp, "Taro"));
    FromConsole(BuildMessage(tags::Message, Addressed({kConsoleIp, "KMC", "ID1", "hi", "0"})));
    FromConsole(BuildMessage(tags::InputReturn, Addressed({"D", "Menu", "Connect"})));
    EXPECT_EQ(kms.LoginCount(), 1);
    EXPECT_EQ(backend.Broadcasts().size(), 2u);  // LOGIN_OK and MESSAGE_OK still go out
}

TEST_F(MeshFixture, PromptsResolveTheirTarget)
{
    StartAndLogin();
    EXPECT_FALSE(kms.SendInputMessage("m", "CONSOLE1", "KMC"));  // unknown computer name
    EXPECT_TRUE(kms.SendInputLine("m", "L", "Password", "192.168.000.5", "KMC", true));  // no table entry needed
    kms.UpdatePeer(PeerInfo{"A", "CONSOLE1", "192.168.0.21", "KMA", 1});
    kms.UpdatePeer(PeerInfo{"B", "CONSOLE1", "192.168.0.22", "KMB", 1});
    EXPECT_TRUE(kms.SendInputMessage("m", "CONSOLE1", "KMB"));
    EXPECT_TRUE(kms.SendInputSelect("m", "a&:b", "A&:B", "Menu", "CONSOLE1", "KMB"));
    EXPECT_EQ(backend.BroadcastBodies(),
              (std::vector<std::string>{
                  BuildMessage(tags::InputLine, {"192.168.0.5", "KMC", "Kiv", "KIVPC", "Kiv", "Password", "m", "L", "1"}),
                  BuildMessage(tags::InputMessage, {"192.168.0.21", "KMB", "Kiv", "KIVPC", "Kiv", "m"}),
                  BuildMessage(tags::InputSelect,
                               {"192.168.0.21", "KMB", "Kiv", "KIVPC", "Kiv", "Menu", "m", "a&:b", "A&:B"})}));
    kms.Logout();
    backend.sent.clear();
    EXPECT_FALSE(kms.SendInputSelect("m", "a", "A", "Menu", "192.168.0.5", "KMC"));
    EXPECT_FALSE(kms.SendInputLine("m", "L", "Password", "192.168.0.5", "KMC", false));
    EXPECT_FALSE(kms.SendInputMessage("m", "192.168.0.5", "KMC"));
    EXPECT_TRUE(backend.sent.empty());
}

// What a console sends, field by field in the order peers read.
TEST_F(MeshFixture, ConsoleMessagesKeepTheirFieldOrder)
{
    StartAndLogin();
    ASSERT_TRUE(kms.SendMenuCheck(kConsoleIp, "KMC"));
    ASSERT_TRUE(kms.SendInputReturn("Menu", "B", kConsoleIp, "KMC"));
    ASSERT_TRUE(kms.SendMessage("hello", true, kConsoleIp, "KMC"));
    const auto bodies = backend.BroadcastBodies();
    ASSERT_EQ(bodies.size(), 3u);
    EXPECT_EQ(bodies[0], BuildMessage(tags::MenuCheck, {kConsoleIp, "KMC", "Kiv", "KIVPC", kMyIp, "Kiv"}));
    EXPECT_EQ(bodies[1], BuildMessage(tags::InputReturn, {kConsoleIp, "KMC", "Kiv", "KIVPC", "Kiv", "Menu", "B"}));
    EXPECT_EQ(bodies[2], BuildMessage(tags::Message, {kConsoleIp, "KMC", "Kiv", "KIVPC", kMyIp, "Kiv",
                                                      kms.SendHistoryEntry(1).MessageID, "hello", "1"}));
}

TEST_F(MeshFixture, SendMessageOkNeedsAnAddress)
{
    StartAndLogin();
    EXPECT_FALSE(kms.SendMessageOk("ID", "", "KMC"));
    EXPECT_TRUE(backend.sent.empty());
}

TEST_F(MeshFixture, UnansweredMessageRaisesErrorSendOnce)
{
    std::vector<std::string> errors;
    kms.OnErrorSend = [&](auto& msg, auto& id, auto& m, auto& d) {
        errors.push_back(msg + " " + m + " " + d + " " + (id.size() == mesh::kIdentifierLength ? "id" : "?"));
    };
    StartAndLogin();
    ASSERT_TRUE(kms.SendMessage("first", false, kConsoleIp, "KMC", 3000));
    ASSERT_TRUE(kms.SendMessage("second", true, kConsoleIp, "KMC", 3000));
    const std::string firstId = kms.SendHistoryEntry(1).MessageID;
    FromConsole(BuildMessage(tags::MessageOk, Addressed({"KMC", firstId})));
    EXPECT_TRUE(kms.SendHistoryEntry(1).MessageID.empty());
    backend.Advance(kms, 10000);
    EXPECT_EQ(errors, std::vector<std::string>{"second 192.168.0.20 KMC id"});
    EXPECT_EQ(backend.timers.count(2), 0u);
}

// An outgoing file: a line the socket does not take waits for the socket's Write report, and
// the file goes out a few chunks per turn, each next turn posted as a Write report, so that
// nothing loops on the socket and the program's other work comes in between.
TEST_F(MeshFixture, TransferWaitsForTheSocketAndSendsInTurns)
{
    TempDir dir;
    const std::string path = dir.File("big.bin");
    const std::int64_t chunk = kms.FTPSendByte();
    const std::string bytes(static_cast<std::size_t>(chunk) * (2 * kTransferChunksPerTurn + 3), 'f');
    ASSERT_EQ(WriteFileBytes(path, bytes), FileError{});
    std::vector<std::int64_t> progress;
    kms.OnFileSending = [&](auto, auto&, auto&, auto&, auto&, std::int64_t sent, std::int64_t) {
        progress.push_back(sent);
    };
    StartAndLogin();
    FromConsole(LoginFrom("RECVPC", "192.168.0.30", "Rx", "100", "0", "52000"));
    const auto socket = kms.SendFile("RECVPC", "", path, "");
    ASSERT_EQ(socket, FakeMeshBackend::kOutgoing);

    backend.tcpTakes = {10, 0};  // ten bytes of the header, then the socket is full
    kms.SocketNotify(socket, mesh::MeshBackend::Connect, mesh::MeshBackend::TcpError::None);
    EXPECT_EQ(backend.tcpSent.size(), 10u);
    EXPECT_EQ(backend.tcpSends, 2);  // no retry
    kms.SocketNotify(socket, mesh::MeshBackend::Write, mesh::MeshBackend::TcpError::None);
    EXPECT_EQ(backend.tcpSent, "KMSFILESTART:&|Kiv&|KIVPC&|Kiv&|big.bin&|" + std::to_string(bytes.size()) + "&|&|\\|\r\n");
    EXPECT_EQ(backend.postedWrites, 0);

    backend.tcpSent.clear();
    backend.tcpAnswer = "KMSFILESTART:OK\r\n";
    kms.SocketNotify(socket, mesh::MeshBackend::Read, mesh::MeshBackend::TcpError::None);
    EXPECT_EQ(backend.postedWrites, 1);  // the first turn
    for (int turn = 1; turn <= 3; ++turn) {
        kms.SocketNotify(socket, mesh::MeshBackend::Write, mesh::MeshBackend::TcpError::None);
        const std::size_t chunks = std::min<std::size_t>(turn * kTransferChunksPerTurn, 2 * kTransferChunksPerTurn + 3);
        EXPECT_EQ(progress.size(), chunks) << turn;
        EXPECT_EQ(backend.tcpSent.size(), chunks * static_cast<std::size_t>(chunk)) << turn;
        EXPECT_EQ(backend.postedWrites, turn < 3 ? turn + 1 : 3) << turn;  // the last turn posts none
    }
    EXPECT_EQ(backend.tcpSent, bytes);
    EXPECT_EQ(kms.FileSends().front()->State, file_send_state::AllSent);
}

class Reassembly : public MeshFixture {
protected:
    std::vector<std::string> returns;
    void SetUp() override
    {
        kms.OnInputReturn = [this](const MeshRequest& r) { returns.push_back(r.Key + "=" + r.Answer); };
        StartAndLogin();
    }
    std::string Answer(const std::string& value)
    {
        return NextId() + BuildMessage(tags::InputReturn, Addressed({"KMC", "Menu", value}));
    }
};

TEST_F(Reassembly, PiecesInAnyOrderCompleteTheMessage)
{
    const std::string big(2000, 'x');
    const std::string first = Answer(big);
    Deliver(kms, first, kConsoleIp, false, {3, 2, 1});
    EXPECT_TRUE(returns.empty());
    // Another message from the same source meanwhile: it is shorter, so the waiting pieces
    // are not its own.
    Deliver(kms, Answer(std::string(700, 'y')), kConsoleIp, true);
    EXPECT_EQ(returns, std::vector<std::string>{"Menu=" + std::string(700, 'y')});
    Deliver(kms, first, kConsoleIp, false, {4, 0});
    EXPECT_EQ(returns.back(), "Menu=" + big);
    Deliver(kms, Answer("two"), kConsoleIp, false, {0});
    EXPECT_EQ(returns.size(), 3u);
}

TEST_F(Reassembly, ReverseOrderCompletesOnTheLastArrival)
{
    const std::string text = Answer(std::string(700, 'y'));
    Deliver(kms, text, kConsoleIp, false, {1});
    EXPECT_TRUE(returns.empty());
    Deliver(kms, text, kConsoleIp, false, {0});
    EXPECT_EQ(returns, std::vector<std::string>{"Menu=" + std::string(700, 'y')});
}

TEST_F(Reassembly, IncompleteMessageExpiresAfterAMinute)
{
    const std::string lost = Answer(std::string(700, 'y'));
    for (int i = 0; i < kRecvSlotCount; ++i)
        Deliver(kms, lost, "10.0.0." + std::to_string(i + 1), false, {1});
    int overflows = 0;
    kms.OnErrorRecvOverflow = [&] { ++overflows; };
    Deliver(kms, Answer("late"), "10.0.0.99");
    EXPECT_EQ(overflows, 1);
    backend.Advance(kms, 59999);
    Deliver(kms, Answer("late"), "10.0.0.99");
    EXPECT_EQ(overflows, 2);
    backend.Advance(kms, 6000);  // 60 to 65 seconds after the latest datagram
    Deliver(kms, Answer("late"), "10.0.0.99");
    EXPECT_EQ(overflows, 2);
    EXPECT_EQ(returns, std::vector<std::string>{"Menu=late"});
}

TEST_F(Reassembly, TwentyOneSendersOverflow)
{
    int overflows = 0;
    kms.OnErrorRecvOverflow = [&] { ++overflows; };
    const std::string text = Answer(std::string(700, 'z'));
    for (int i = 0; i < kRecvSlotCount + 1; ++i)
        Deliver(kms, text, "10.0.1." + std::to_string(i + 1), false, {0});
    EXPECT_EQ(overflows, 1);
    Deliver(kms, text, "10.0.1.21", false, {1});
    EXPECT_EQ(overflows, 2);
    Deliver(kms, text, "10.0.1.20", false, {1});  // a waiting sender completes
    EXPECT_EQ(returns.size(), 1u);
}

TEST_F(Reassembly, OddDatagramsNeverCrashOrGrowPastTheirBounds)
{
    const std::uint32_t from = Ip(kConsoleIp);
    const std::string cases[] = {
        std::string(),                       // empty
        std::string("\x01", 1),              // sequence byte only
        std::string("\x00" "0    0", 7),     // sequence byte 0: position 255
        std::string("\x01" "2    1x", 8),    // unknown flag: plain
        std::string("\x01" "1ZZZZ", 6),      // not hexadecimal
        std::string("\x01" "0-0001", 7),     // negative length
        std::string("\x01" "0   99abc", 9),  // longer than arrived
        std::string(600, '\x02'),            // oversized, no terminator
    };
    for (const auto& c : cases)
        kms.ReceiveDatagram(c.data(), c.size(), from);
    EXPECT_TRUE(returns.empty());
    backend.Advance(kms, 70000);
    Deliver(kms, Answer("after"), kConsoleIp);
    EXPECT_EQ(returns, std::vector<std::string>{"Menu=after"});
}

TEST_F(Reassembly, ReceivingWhileStoppedIsIgnored)
{
    kms.Stop();
    Deliver(kms, Answer("x"), kConsoleIp);
    EXPECT_TRUE(returns.empty());
}

// One source fills every slot with first datagrams of long messages: the others still get
// their long messages through, and the source's own latest messages too.
TEST_F(Reassembly, OneSourceHoldsAtMostFourSlots)
{
    int overflows = 0;
    kms.OnErrorRecvOverflow = [&] { ++overflows; };
    for (int i = 0; i < kRecvSlotCount; ++i)
        Deliver(kms, Answer("flood" + std::string(1200, 'f')), "10.0.0.66", false, {0});
    const std::string other = std::string(1500, 'o');
    std::vector<std::string> others;
    for (int i = 0; i < kRecvSlotCount - kRecvSlotsPerSource; ++i) {
        others.push_back(Answer(other));
        Deliver(kms, others.back(), "10.0.2." + std::to_string(i + 1), false, {0});
    }
    EXPECT_EQ(overflows, 0);
    Deliver(kms, Answer(other), "10.0.3.1", false, {0});
    EXPECT_EQ(overflows, 1);  // now the table is full: 16 others, 4 of the flood
    for (int i = 0; i < kRecvSlotCount - kRecvSlotsPerSource; ++i)
        Deliver(kms, others[static_cast<std::size_t>(i)], "10.0.2." + std::to_string(i + 1), false, {1, 2, 3});
    EXPECT_TRUE(returns == std::vector<std::string>(kRecvSlotCount - kRecvSlotsPerSource, "Menu=" + other));
    // The flooding source's next message comes through as well, beside its own leftovers.
    returns.clear();
    Deliver(kms, Answer("next" + std::string(1000, 'n')), "10.0.0.66");
    EXPECT_TRUE(returns == std::vector<std::string>{"Menu=next" + std::string(1000, 'n')});
}

// A message takes the datagrams its length field asks for, and no others: pieces left over
// from a message that lost its first datagram do not join the next one.
TEST_F(MeshFixture, LeftoverPiecesNeverJoinTheNextMessage)
{
    StartAndLogin();
    std::vector<std::string> texts;
    kms.OnMessage = [&](const std::string& text, const auto&...) { texts.push_back(text); };
    const std::string six = NextId() + BuildMessage(tags::Message, Addressed({kConsoleIp, "KMC", "m1",
                                                                               std::string(2600, 'L'), "0"}));
    ASSERT_EQ(mesh::CutDatagrams(mesh::FrameText(six, false)).size(), 6u);
    Deliver(kms, six, kConsoleIp, false, {1, 2, 3, 4, 5});  // the first datagram was lost
    for (int round = 0; round < 2; ++round) {
        backend.sent.clear();
        FromConsole(BuildMessage(tags::HuzaiCheck, {kMyIp, "Kiv", kConsoleIp, "KMC"}), true);
        EXPECT_EQ(backend.BroadcastBodies(),
                  std::vector<std::string>{BuildMessage(tags::HuzaiMessage,
                                                        {kConsoleIp, "KMC", "Kiv", "KIVPC", "Kiv", "Nothing"})})
            << round;
    }
    // The lost datagram arriving late still completes its own message.
    Deliver(kms, six, kConsoleIp, false, {0});
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0] == std::string(2600, 'L'));
    // So does a message of two datagrams after a lost first one.
    Deliver(kms, six, kConsoleIp, false, {1, 2, 3, 4, 5});
    const std::string two = NextId() + BuildMessage(tags::Message, Addressed({kConsoleIp, "KMC", "m2",
                                                                               std::string(300, 'T'), "0"}));
    ASSERT_EQ(mesh::CutDatagrams(mesh::FrameText(two, true)).size(), 2u);
    Deliver(kms, two, kConsoleIp, true);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[1] == std::string(300, 'T'));
}

// A slot stuffed with CR LF pieces whose first piece is sent again and again: every datagram
// is handled and the sender and others are answered right after.
TEST_F(Reassembly, LineBreakStuffingIsDroppedAndOthersAreAnswered)
{
    const std::uint32_t from = Ip(kConsoleIp);
    std::string crlf(1 + 510, '\r');
    for (std::size_t i = 2; i < crlf.size(); i += 2)
        crlf[i] = '\n';
    for (int k = 2; k <= 255; ++k) {
        crlf[0] = static_cast<char>(k);
        kms.ReceiveDatagram(crlf.data(), crlf.size(), from);
    }
    // The first piece: only line breaks, or a length that asks for more than a sender can send.
    const std::string firsts[] = {std::string("\x01") + crlf.substr(1), std::string("\x01" "099999") + crlf.substr(7)};
    for (int i = 0; i < 500; ++i)
        kms.ReceiveDatagram(firsts[i % 2].data(), firsts[i % 2].size(), from);
    Deliver(kms, Answer("same source"), kConsoleIp, true);
    Deliver(kms, Answer("other source"), "10.0.4.1");
    EXPECT_EQ(returns, (std::vector<std::string>{"Menu=same source", "Menu=other source"}));
}

// Datagrams carry no message number: two messages of the same size from one machine (two
// programs, or one datagram repeated) are told apart by the order in which they started. Of the
// source's slots that may take a piece, the last in index order does; a new message takes the
// last free slot, so that is the one whose message began first.
class SharedSource : public Reassembly {
protected:
    // An INPUT_RETURN whose framed text takes `datagrams` datagrams, its answer made of `mark`
    // throughout, so a mixture of two shows; messages of one count and framing have one size.
    std::string Long(char mark, int datagrams = 2, bool security = false)
    {
        const int size = security ? 255 * datagrams - 200 : 510 * datagrams - 300;
        return Answer(std::string(static_cast<std::size_t>(size), mark));
    }
    static std::vector<std::string> Datagrams(const std::string& text, bool security = false)
    {
        return mesh::CutDatagrams(mesh::FrameText(text, security));
    }
    void Receive(const std::string& datagram)
    {
        kms.ReceiveDatagram(datagram.data(), datagram.size(), Ip(kConsoleIp));
    }
    static std::string Returned(const std::string& text)
    {
        return "Menu=" + GetField(text.substr(mesh::kIdentifierLength), 7);
    }
};

TEST_F(SharedSource, InterleavedDatagramsKeepTheirMessages)
{
    const std::string a = Long('A'), b = Long('B'), c = Long('C'), q = Long('Q', 3);
    const auto A = Datagrams(a), B = Datagrams(b), C = Datagrams(c), Q = Datagrams(q);
    ASSERT_EQ(A.size(), 2u);
    ASSERT_EQ(A[0].size(), B[0].size());
    ASSERT_EQ(A[1].size(), B[1].size());
    const std::string e = Answer("one datagram");
    ASSERT_EQ(Datagrams(e).size(), 1u);
    const std::string stray("\x01", 1);  // a sequence byte and nothing else
    struct Row {
        const char* what;
        std::vector<std::string> arriving;
        std::vector<std::string> delivered;
    } rows[] = {
        {"A1 B1 A2 B2", {A[0], B[0], A[1], B[1]}, {Returned(a), Returned(b)}},
        {"Q1 Q2 Q2 Q3", {Q[0], Q[1], Q[1], Q[2]}, {Returned(q)}},
        {"A1, a stray 01, A2", {A[0], stray, A[1]}, {Returned(a)}},
        {"A1 B1 C1 E A2", {A[0], B[0], C[0], Datagrams(e)[0], A[1]}, {Returned(e), Returned(a)}},
    };
    for (const auto& row : rows) {
        kms.Stop();  // empties the slots and the duplicate history
        StartAndLogin();
        returns.clear();
        for (const auto& d : row.arriving)
            Receive(d);
        EXPECT_EQ(returns, row.delivered) << row.what;
    }
    // After A1 B1 A2 B2, B's last datagram completes B, and both identifiers are known: the
    // same messages sent again are copies.
    kms.Stop();
    StartAndLogin();
    returns.clear();
    for (const auto& d : {A[0], B[0], A[1], B[1], A[0], A[1], B[0], B[1]})
        Receive(d);
    EXPECT_EQ(returns, (std::vector<std::string>{Returned(a), Returned(b)}));
}

// The reassembly of a single source as the protocol describes it, with nothing else: twenty
// slots, the last accepting slot in index order, else the last free one; the message is read
// out of a slot after every piece.
std::vector<std::string> ReferenceReassembly(const std::vector<std::string>& datagrams)
{
    std::array<std::optional<std::vector<std::string>>, kRecvSlotCount> slots;
    std::vector<std::string> messages;
    for (const auto& d : datagrams) {
        const std::size_t p = static_cast<unsigned char>(static_cast<unsigned char>(d[0]) - 1);
        int chosen = -1;
        for (int i = 0; i < kRecvSlotCount; ++i) {
            const auto& slot = slots[static_cast<std::size_t>(i)];
            if (slot && (slot->size() <= p || (*slot)[p].empty()))
                chosen = i;
        }
        if (chosen < 0)
            for (int i = 0; i < kRecvSlotCount; ++i)
                if (!slots[static_cast<std::size_t>(i)])
                    chosen = i;
        auto& slot = slots[static_cast<std::size_t>(chosen)];
        if (!slot)
            slot.emplace();
        if (slot->size() <= p)
            slot->resize(p + 1);
        (*slot)[p] = std::string(mesh::DatagramPiece(d.data(), d.size()));
        if (auto message = mesh::UnframePieces(*slot)) {
            messages.push_back(*message);
            slot.reset();
        }
    }
    return messages;
}

// Every way two messages' datagrams can interleave, each message's own in order: wherever the
// protocol's reassembly delivers a message intact, so does the component.
TEST_F(SharedSource, EveryInterleavingOfTwoMessagesDeliversWhatTheProtocolDelivers)
{
    const std::pair<int, int> counts[] = {{2, 2}, {3, 3}, {2, 3}, {3, 2}};
    for (const bool security : {false, true})
        for (const auto& [na, nb] : counts) {
            const std::string a = Long('A', na, security), b = Long('B', nb, security);
            const auto A = Datagrams(a, security), B = Datagrams(b, security);
            ASSERT_EQ(A.size(), static_cast<std::size_t>(na));
            ASSERT_EQ(B.size(), static_cast<std::size_t>(nb));
            // Each order is a choice of the positions that A's datagrams take.
            std::vector<bool> fromA(A.size() + B.size(), false);
            std::fill(fromA.begin(), fromA.begin() + na, true);
            int orders = 0, bothIntact = 0;
            do {
                std::vector<std::string> arriving;
                std::size_t ia = 0, ib = 0;
                std::string order;
                for (const bool takeA : fromA) {
                    arriving.push_back(takeA ? A[ia++] : B[ib++]);
                    order += takeA ? "A" + std::to_string(ia) + " " : "B" + std::to_string(ib) + " ";
                }
                const auto expected = ReferenceReassembly(arriving);
                kms.Stop();
                StartAndLogin();
                returns.clear();
                for (const auto& d : arriving)
                    Receive(d);
                for (const auto& text : {a, b}) {
                    const bool delivered = std::find(expected.begin(), expected.end(), text) != expected.end();
                    const bool received =
                        std::find(returns.begin(), returns.end(), Returned(text)) != returns.end();
                    if (delivered) {
                        EXPECT_TRUE(received) << order << (security ? "scrambled" : "plain");
                    }
                }
                // Messages of different sizes never mix: what arrives was sent.
                if (na != nb) {
                    for (const auto& r : returns)
                        EXPECT_TRUE(r == Returned(a) || r == Returned(b)) << order;
                }
                ++orders;
                bothIntact += expected.size() == 2;
            } while (std::prev_permutation(fromA.begin(), fromA.end()));
            EXPECT_EQ(orders, na == 2 && nb == 2 ? 6 : na == 3 && nb == 3 ? 20 : 10);
            // One message after the other, and alternating, deliver both.
            EXPECT_GE(bothIntact, 3) << na << "+" << nb;
        }
}

// Two components joined by their fake backends: what one sends the other receives.
TEST(TwoComponents, PromptRoundTripKeepsLineBreaks)
{
    FakeMeshBackend kivSide, consoleSide;
    consoleSide.computerName = "CONSOLE1";
    consoleSide.localAddress = kConsoleIp;
    TKestrelMesh kiv{kivSide, 1}, console{consoleSide, 2};
    kiv.SetDiscrimination("Kiv");
    kiv.SetMenu(true);
    kiv.SetSecurity(true);
    console.SetDiscrimination("KMC");
    std::size_t kivSeen = 0, consoleSeen = 0;
    auto pump = [&] {
        for (bool moved = true; moved;) {
            moved = false;
            while (kivSeen < kivSide.sent.size()) {
                const auto s = kivSide.sent[kivSeen++];
                console.ReceiveDatagram(s.bytes.data(), s.bytes.size(), Ip(kMyIp));
                moved = true;
            }
            while (consoleSeen < consoleSide.sent.size()) {
                const auto s = consoleSide.sent[consoleSeen++];
                kiv.ReceiveDatagram(s.bytes.data(), s.bytes.size(), Ip(kConsoleIp));
                moved = true;
            }
        }
    };
    std::vector<std::string> shown;
    kiv.OnMenuRequest = [&](const MeshRequest& r) {
        kiv.SendInputSelect("line1\r\nline2\rsame", "a&:b", "A&:B", "Menu", r.MachineName, r.Discrimination);
    };
    kiv.OnInputReturn = [&](const MeshRequest& r) {
        kiv.SendInputMessage(r.Key + ":" + r.Answer, r.MachineName, r.Discrimination);
    };
    console.OnInputSelect = [&](auto& msg, auto& list, auto&, auto& tag, auto&, auto& m, auto& d) {
        shown.push_back(msg + "|" + list);
        console.SendInputReturn(tag, "B", m, d);
    };
    console.OnInputMessage = [&](auto& msg, const auto&...) { shown.push_back(msg); };
    ASSERT_TRUE(kiv.Start() && console.Start());
    kiv.Login();
    console.Login();
    pump();
    EXPECT_EQ(kiv.LoginCount(), 1);
    EXPECT_EQ(console.LoginUser(0).MachineName, "KIVPC");
    ASSERT_TRUE(console.SendMenuCheck("KIVPC", "Kiv"));
    pump();
    EXPECT_EQ(shown, (std::vector<std::string>{"line1\r\nline2\rsame|a&:b", "Menu:B"}));
}

}  // namespace
}  // namespace kiv::test
