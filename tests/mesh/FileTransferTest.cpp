// File transfer over real TCP on loopback: component to component, and against a raw socket
// that plays the other side byte by byte. On the POSIX poll loop or on Winsock with hidden
// windows. Runs only inside a private network namespace (run-in-netns.sh, wine-netns.sh).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SocketPeer.h"
#ifdef _WIN32
using RawHandle = SOCKET;
constexpr RawHandle kNoRaw = INVALID_SOCKET;
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using RawHandle = int;
constexpr RawHandle kNoRaw = -1;
#endif

namespace kiv::test {
namespace {

namespace fs = std::filesystem;
using mesh::MeshBackend;

constexpr int kUdpPort = 51791;
constexpr int kFtpPort = 52191;

struct Peer : SocketPeer {
    Peer(const std::string& machine, const std::string& disc, int ftpPort)
        : SocketPeer(machine, disc, kUdpPort, ftpPort)
    {
    }
    ~Peer() { kms.Stop(); }
};

// Runs the peers' loops until done() holds or five seconds have passed.
template <typename Done>
bool RunUntil(std::initializer_list<SocketPeer*> peers, Done done)
{
    return test::RunUntil(peers, 30000, done);
}

// Runs the loops for a while (to show that something does not happen).
void RunFor(std::initializer_list<SocketPeer*> peers, unsigned ms)
{
    SocketPeer* first = *peers.begin();
    const auto end = first->backend.NowMilliseconds() + ms;
    while (first->backend.NowMilliseconds() < end)
        RunRound(peers);
}

// One end of a TCP connection driven by hand, non-blocking.
struct Raw {
    RawHandle s = kNoRaw;
    ~Raw() { Close(); }
    void Close()
    {
        if (s == kNoRaw)
            return;
#ifdef _WIN32
        closesocket(s);
#else
        ::close(s);
#endif
        s = kNoRaw;
    }
    static void NonBlocking(RawHandle h)
    {
#ifdef _WIN32
        u_long one = 1;
        ioctlsocket(h, FIONBIO, &one);
#else
        ::fcntl(h, F_SETFL, ::fcntl(h, F_GETFL) | O_NONBLOCK);
#endif
    }
    static sockaddr_in Loopback(int port)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F000001);
        a.sin_port = htons(static_cast<unsigned short>(port));
        return a;
    }
    bool Connect(int port)
    {
        s = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in a = Loopback(port);
        if (::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
            return false;
        NonBlocking(s);
        return true;
    }
    bool Listen(int port)
    {
        s = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
        const sockaddr_in a = Loopback(port);
        NonBlocking(s);
        return ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 && ::listen(s, 5) == 0;
    }
    // A waiting connection of this listener, or none yet.
    bool AcceptInto(Raw& connection)
    {
        connection.s = ::accept(s, nullptr, nullptr);
        if (connection.s == kNoRaw)
            return false;
        NonBlocking(connection.s);
        return true;
    }
    void Send(const std::string& bytes)
    {
        ASSERT_EQ(::send(s, bytes.data(), static_cast<int>(bytes.size()), 0), static_cast<int>(bytes.size()));
    }
    // Appends what has arrived; false once the other side has closed.
    bool Read(std::string& into)
    {
        char buffer[65536];
        for (;;) {
            const auto n = ::recv(s, buffer, sizeof buffer, 0);
            if (n == 0)
                return false;
            if (n < 0)
                return true;
            into.append(buffer, static_cast<std::size_t>(n));
        }
    }
};

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Everything the events of one component said, one line each.
struct Log {
    std::vector<std::string> lines;
    std::vector<std::int64_t> sizes;  // iSendSize or iRecvSize, in order
    std::vector<int> errors;
    bool Has(const std::string& prefix) const
    {
        for (const auto& l : lines)
            if (l.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};

// Wires every file event of a component into a log; received files go to `folder` under the
// sender's name, unless `cancel` says no.
void Record(TKestrelMesh& kms, Log& log, const std::string& folder = "", bool cancel = false)
{
    auto who = [](auto& h, auto& m, auto& d) { return std::string(h) + "," + m + "," + d; };
    kms.OnFileSendStart = [&log, who](auto, auto& h, auto& m, auto& d, auto& f) {
        log.lines.push_back("SendStart " + who(h, m, d) + " " + f);
    };
    kms.OnFileSending = [&log](auto, auto&, auto&, auto&, auto&, std::int64_t size, std::int64_t) {
        log.sizes.push_back(size);
    };
    kms.OnFileSendEnd = [&log, who](auto, auto& h, auto& m, auto& d, auto& f) {
        log.lines.push_back("SendEnd " + who(h, m, d) + " " + f);
    };
    kms.OnErrorFileSend = [&log](auto, auto&, auto&, auto&, auto&, int error) {
        log.lines.push_back("ErrorSend " + std::to_string(error));
        log.errors.push_back(error);
    };
    kms.OnFileRecvStart = [&log, who, folder, cancel](auto, auto& h, auto& m, auto& d, std::string& name,
                                                      std::int64_t size, auto& comment, bool& refuse) {
        log.lines.push_back("RecvStart " + who(h, m, d) + " " + name + " " + std::to_string(size) + " " + comment);
        name = folder + "/" + name;
        refuse = cancel;
    };
    kms.OnFileRecving = [&log](auto, auto&, auto&, auto&, auto&, std::int64_t size, std::int64_t) {
        log.sizes.push_back(size);
    };
    kms.OnFileRecvEnd = [&log, who](auto, auto& h, auto& m, auto& d, auto& f) {
        log.lines.push_back("RecvEnd " + who(h, m, d) + " " + f);
    };
    kms.OnErrorFileRecv = [&log](auto, auto&, auto&, auto&, auto& f, int error) {
        log.lines.push_back("ErrorRecv " + std::to_string(error) + " " + f);
        log.errors.push_back(error);
    };
}

struct Transfer : ::testing::Test {
    Transfer()
    {
        fs::remove_all(dir);
        fs::create_directories(dir + "/in");
    }
    ~Transfer() override { fs::remove_all(dir); }

    // The receiver listens; the sender knows it from its LOGIN.
    void StartBoth()
    {
        ASSERT_TRUE(receiver.kms.Start());
        ASSERT_TRUE(sender.kms.Start());
        receiver.kms.Login();
        sender.kms.Login();
        ASSERT_TRUE(RunUntil({&receiver, &sender}, [&] { return sender.kms.LoginCount() == 2; }));
    }
    std::string header(const std::string& name, const std::string& size, const std::string& comment = "c")
    {
        return "KMSFILESTART:&|Taro&|RAWPC&|RAW&|" + name + "&|" + size + "&|" + comment + "&|\\|\r\n";
    }

    std::string dir = "ftp-test-dir";
    Log sent, received;  // outlive the peers, whose Stop may still raise events
    Peer receiver{"RECVPC", "RCV", kFtpPort};
    Peer sender{"SENDPC", "SND", 0};
};

TEST_F(Transfer, TwoPeersMoveAFileInChunksNoLargerThanFTPSendByte)
{
    const std::string bytes = Pattern(50000);
    WriteFile(dir + "/data.bin", bytes);
    sender.kms.SetFTPSendByte(700);
    receiver.kms.SetFTPRecvByte(1000);
    Record(sender.kms, sent);
    Record(receiver.kms, received, dir + "/in");
    StartBoth();
    ASSERT_NE(sender.kms.SendFile("RECVPC", "RCV", dir + "/data.bin", "for you"), MeshBackend::kNoSocket);
    ASSERT_TRUE(RunUntil({&receiver, &sender}, [&] { return received.Has("RecvEnd") && sent.Has("SendEnd"); }));

    EXPECT_EQ(ReadFile(dir + "/in/data.bin"), bytes);
    EXPECT_EQ(sent.lines, (std::vector<std::string>{"SendStart RCV-user,RECVPC,RCV " + dir + "/data.bin",
                                                    "SendEnd RCV-user,RECVPC,RCV " + dir + "/data.bin"}));
    EXPECT_EQ(received.lines,
              (std::vector<std::string>{"RecvStart SND-user,SENDPC,SND data.bin 50000 for you",
                                        "RecvEnd SND-user,SENDPC,SND " + dir + "/in/data.bin"}));
    for (const Log* log : {&sent, &received}) {
        ASSERT_FALSE(log->sizes.empty());
        EXPECT_EQ(log->sizes.back(), 50000);
        EXPECT_GT(log->sizes.front(), 0);
        for (std::size_t i = 1; i < log->sizes.size(); ++i) {
            EXPECT_GT(log->sizes[i], log->sizes[i - 1]);
            EXPECT_LE(log->sizes[i] - log->sizes[i - 1], log == &sent ? 700 : 1000);
        }
    }
    EXPECT_LE(sent.sizes.front(), 700);
    EXPECT_GE(sent.sizes.size(), 50000u / 700);
    EXPECT_TRUE(sender.kms.FileSends().empty());
    EXPECT_TRUE(receiver.kms.FileRecvs().empty());
}

TEST_F(Transfer, HeaderInTwoSegmentsThenDataInChunks)
{
    Record(receiver.kms, received, dir + "/in");
    ASSERT_TRUE(receiver.kms.Start());
    Raw raw;
    ASSERT_TRUE(raw.Connect(kFtpPort));
    const std::string h = header("two.txt", "2101", "a comment");
    raw.Send(h.substr(0, 20));
    ASSERT_TRUE(RunUntil({&receiver}, [&] {
        return receiver.kms.FileRecvs().size() == 1 && !receiver.kms.FileRecvs()[0]->Header.empty();
    }));
    EXPECT_EQ(receiver.kms.FileRecvs()[0]->State, 0);
    EXPECT_TRUE(received.lines.empty());  // waits for the rest
    raw.Send(h.substr(20));
    std::string answer;
    ASSERT_TRUE(RunUntil({&receiver}, [&] { return raw.Read(answer) && answer.size() >= 17; }));
    EXPECT_EQ(answer, "KMSFILESTART:OK\r\n");
    EXPECT_EQ(received.lines, (std::vector<std::string>{"RecvStart Taro,RAWPC,RAW two.txt 2101 a comment"}));

    const std::string bytes = Pattern(2101);
    std::size_t at = 0;
    for (std::size_t piece : {100u, 2000u, 1u}) {
        const std::size_t before = received.sizes.size();
        if (at + piece == bytes.size())
            answer.clear();
        raw.Send(bytes.substr(at, piece));
        at += piece;
        ASSERT_TRUE(RunUntil({&receiver}, [&] { return received.sizes.size() > before; }));
    }
    EXPECT_EQ(received.sizes, (std::vector<std::int64_t>{100, 2100, 2101}));
    ASSERT_TRUE(RunUntil({&receiver}, [&] { return raw.Read(answer) && answer.size() >= 13; }));
    EXPECT_EQ(answer, "KMSFILEEND:\r\n");
    EXPECT_FALSE(received.Has("RecvEnd"));  // only once the sender has closed
    raw.Close();
    ASSERT_TRUE(RunUntil({&receiver}, [&] { return received.Has("RecvEnd"); }));
    EXPECT_EQ(ReadFile(dir + "/in/two.txt"), bytes);
}

// Headers the receiver refuses by closing the connection, without any event.
TEST_F(Transfer, RefusedHeadersCloseWithoutAnEvent)
{
    Record(receiver.kms, received, dir + "/in");
    ASSERT_TRUE(receiver.kms.Start());
    const std::string endless = "KMSFILESTART:&|Taro&|RAWPC&|RAW&|big.txt&|10&|" + std::string(70000, 'x');
    for (const std::string& h : {header("zero.txt", "0"), header("neg.txt", "-5"), header("text.txt", "ten"),
                                 endless}) {
        Raw raw;
        ASSERT_TRUE(raw.Connect(kFtpPort));
        raw.Send(h);
        std::string answer;
        EXPECT_TRUE(RunUntil({&receiver}, [&] { return !raw.Read(answer); })) << h.substr(0, 60);
        EXPECT_EQ(answer, "");
        EXPECT_TRUE(received.lines.empty()) << h.substr(0, 60);
        EXPECT_TRUE(receiver.kms.FileRecvs().empty());
    }
    EXPECT_TRUE(fs::is_empty(dir + "/in"));
}

// The partial file goes when the sender stops early (error 0), when the file on disk no longer
// matches what was received (error 2: deleted, grown by another writer, or replaced by another
// file of the same size, which is left alone), and when the receiver logs out (error 1).
TEST_F(Transfer, PartialFileIsDeleted)
{
    struct Case {
        const char* name;
        int error;
        const char* leftBehind;  // what the name holds afterwards; nullptr: nothing
    } cases[] = {{"early.txt", 0, nullptr},
                 {"deleted.txt", 2, nullptr},
                 {"grown.txt", 2, nullptr},
#ifndef _WIN32  // Wine refuses to rename a file over one that is open
                 {"replaced.txt", 2, "other"},
#endif
                 {"logout.txt", 1, nullptr}};
    Record(receiver.kms, received, dir + "/in");
    ASSERT_TRUE(receiver.kms.Start());
    ASSERT_TRUE(receiver.kms.Login());
    const std::string other(300, 'z');
    for (const auto& c : cases) {
        received = Log{};
        const std::string name = c.name;
        const std::string path = dir + "/in/" + name;
        Raw raw;
        ASSERT_TRUE(raw.Connect(kFtpPort));
        raw.Send(header(name, "1000"));
        std::string answer;
        ASSERT_TRUE(RunUntil({&receiver}, [&] { return raw.Read(answer) && !answer.empty(); }));
        raw.Send(std::string(300, 'a'));
        ASSERT_TRUE(RunUntil({&receiver}, [&] { return received.sizes.size() == 1; }));
        ASSERT_EQ(fs::file_size(path), 300u);
        if (c.error == 0) {
            raw.Close();
        } else if (c.error == 2) {
            if (name == "deleted.txt") {
                fs::remove(path);
            } else if (name == "grown.txt") {
                std::ofstream(path, std::ios::binary | std::ios::app) << 'x';
            } else {
                WriteFile(dir + "/other", other);  // as long as the partial file
                fs::rename(dir + "/other", path);
            }
            raw.Send(std::string(300, 'b'));
        } else {
            receiver.kms.Logout();
        }
        ASSERT_TRUE(RunUntil({&receiver}, [&] { return !received.errors.empty(); })) << name;
        EXPECT_EQ(received.errors, std::vector<int>{c.error}) << name;
        EXPECT_EQ(received.lines.back(), "ErrorRecv " + std::to_string(c.error) + " " + path);
        if (c.leftBehind)
            EXPECT_EQ(ReadFile(path), other) << name;
        else
            EXPECT_FALSE(fs::exists(path)) << name;
        EXPECT_TRUE(receiver.kms.FileRecvs().empty());
        if (c.error != 0) {  // the sender sees the connection end
            EXPECT_TRUE(RunUntil({&receiver}, [&] { return !raw.Read(answer); })) << name;
        }
        fs::remove(path);
    }
}

TEST_F(Transfer, ExtraBytesBeyondTheAnnouncedSizeAreNotWritten)
{
    Record(receiver.kms, received, dir + "/in");
    ASSERT_TRUE(receiver.kms.Start());
    Raw raw;
    ASSERT_TRUE(raw.Connect(kFtpPort));
    raw.Send(header("five.txt", "5"));
    std::string answer;
    ASSERT_TRUE(RunUntil({&receiver}, [&] { return raw.Read(answer) && !answer.empty(); }));
    raw.Send("12345678");
    ASSERT_TRUE(RunUntil({&receiver}, [&] { return raw.Read(answer) && answer.size() >= 17 + 13; }));
    EXPECT_EQ(answer, "KMSFILESTART:OK\r\nKMSFILEEND:\r\n");
    raw.Close();
    ASSERT_TRUE(RunUntil({&receiver}, [&] { return received.Has("RecvEnd"); }));
    EXPECT_EQ(ReadFile(dir + "/in/five.txt"), "12345");
}

// The sending side against a raw receiver: the header's bytes, the answer in pieces, the end.
TEST_F(Transfer, SenderWritesTheExactStream)
{
    Peer announcer{"RECVPC", "RCV", 0};  // announces kFtpPort but leaves it to the raw listener
    WriteFile(dir + "/hello.txt", "hello");
    Record(sender.kms, sent);
    ASSERT_TRUE(announcer.kms.Start());  // also starts Winsock for the raw listener
    Raw listener;
    ASSERT_TRUE(listener.Listen(kFtpPort));
    announcer.kms.SetFTPPortNo(kFtpPort);
    ASSERT_TRUE(sender.kms.Start());
    announcer.kms.Login();
    sender.kms.Login();
    ASSERT_TRUE(RunUntil({&announcer, &sender}, [&] { return sender.kms.LoginCount() == 2; }));
    ASSERT_NE(sender.kms.SendFile("RECVPC", "", dir + "/hello.txt", "hi there", "挨拶.txt"),
              MeshBackend::kNoSocket);
    Raw raw;
    ASSERT_TRUE(RunUntil({&sender}, [&] { return raw.s != kNoRaw || listener.AcceptInto(raw); }));
    std::string got;
    const std::string expected = "KMSFILESTART:&|SND-user&|SENDPC&|SND&|挨拶.txt&|5&|hi there&|\\|\r\n";
    ASSERT_TRUE(RunUntil({&sender}, [&] { return raw.Read(got) && got.size() >= expected.size(); }));
    EXPECT_EQ(got, expected);
    raw.Send("KMSFILESTART");
    RunFor({&sender}, 50);
    EXPECT_TRUE(sent.lines.empty());
    raw.Send(":OK\r\n");
    got.clear();
    ASSERT_TRUE(RunUntil({&sender}, [&] { return raw.Read(got) && got.size() >= 5; }));
    EXPECT_EQ(got, "hello");
    EXPECT_EQ(sent.lines, std::vector<std::string>{"SendStart RCV-user,RECVPC,RCV " + dir + "/hello.txt"});
    raw.Send("KMSFILEEND:\r\n");
    ASSERT_TRUE(RunUntil({&sender}, [&] { return !raw.Read(got); }));  // the sender closes
    EXPECT_TRUE(sent.Has("SendEnd"));
    EXPECT_TRUE(sent.errors.empty());
}

// Endings of a transfer as the two sides see them.
TEST_F(Transfer, EndingsSeenByBothSides)
{
    struct Case {
        const char* what;
        std::vector<int> sendErrors, recvErrors;
    } cases[] = {
        {"cancel", {1}, {}},                // refused by the handler: the sender sees the close
        {"sender logout", {2}, {0}},        // the receiver sees the close before the end
        {"receiver logout", {1}, {1}},      //
        {"file shrinks", {3}, {0}},         // ends instead of waiting for bytes that never come
        {"no listener", {0}, {}},           // refused connection
    };
    const std::string bytes = Pattern(3000000);
    WriteFile(dir + "/big.bin", bytes);
    for (const auto& c : cases) {
        const std::string what = c.what;
        Log s, r;
        Peer rx{"RECVPC", "RCV", what == "no listener" ? 0 : kFtpPort};
        Peer tx{"SENDPC", "SND", 0};
        Record(tx.kms, s);
        Record(rx.kms, r, dir + "/in", what == "cancel");
        ASSERT_TRUE(rx.kms.Start());
        rx.kms.SetFTPPortNo(kFtpPort);
        ASSERT_TRUE(tx.kms.Start());
        rx.kms.Login();
        tx.kms.Login();
        ASSERT_TRUE(RunUntil({&rx, &tx}, [&] { return tx.kms.LoginCount() == 2; }));
        if (what == "sender logout")
            tx.kms.OnFileSending = [&](auto&&...) { tx.kms.Logout(); };
        if (what == "receiver logout")
            rx.kms.OnFileRecving = [&](auto&&...) { rx.kms.Logout(); };
        if (what == "file shrinks") {
            WriteFile(dir + "/shrinks.bin", bytes);
            tx.kms.OnFileSendStart = [&](auto&&...) { fs::resize_file(dir + "/shrinks.bin", 100000); };
        }
        const std::string file = what == "file shrinks" ? dir + "/shrinks.bin" : dir + "/big.bin";
        ASSERT_NE(tx.kms.SendFile("RECVPC", "RCV", file, ""), MeshBackend::kNoSocket) << what;
        ASSERT_TRUE(RunUntil({&rx, &tx}, [&] {
            return s.errors.size() == c.sendErrors.size() && r.errors.size() == c.recvErrors.size() &&
                   tx.kms.FileSends().empty() && rx.kms.FileRecvs().empty();
        })) << what;
        RunFor({&rx, &tx}, 50);
        EXPECT_EQ(s.errors, c.sendErrors) << what;
        EXPECT_EQ(r.errors, c.recvErrors) << what;
        EXPECT_FALSE(s.Has("SendEnd") || r.Has("RecvEnd")) << what;
        EXPECT_TRUE(fs::is_empty(dir + "/in")) << what;
    }
}

TEST_F(Transfer, SendFileNeedsAKnownPeerWithAPortAndAnExistingFile)
{
    WriteFile(dir + "/a.txt", "a");
    StartBoth();
    EXPECT_EQ(sender.kms.SendFile("NOSUCHPC", "", dir + "/a.txt", ""), MeshBackend::kNoSocket);
    EXPECT_EQ(sender.kms.SendFile("SENDPC", "", dir + "/a.txt", ""), MeshBackend::kNoSocket);  // port 0
    EXPECT_EQ(sender.kms.SendFile("RECVPC", "", dir + "/missing.txt", ""), MeshBackend::kNoSocket);
    EXPECT_EQ(sender.kms.SendFile("RECVPC", "OTHER", dir + "/a.txt", ""), MeshBackend::kNoSocket);
    for (const char* comment : {"a&|b", "a\\|b", "line\r\nbreak"})
        EXPECT_EQ(sender.kms.SendFile("RECVPC", "", dir + "/a.txt", comment), MeshBackend::kNoSocket) << comment;
    EXPECT_TRUE(sender.kms.FileSends().empty());
}

}  // namespace
}  // namespace kiv::test
