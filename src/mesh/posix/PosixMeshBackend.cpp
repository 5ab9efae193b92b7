#include "PosixMeshBackend.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cctype>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>


namespace kiv::mesh {

PosixMeshBackend::~PosixMeshBackend()
{
    CloseUdp();
    for (const auto& [fd, tcp] : tcp_)
        ::close(fd);
}

namespace {

bool MakeNonBlocking(int fd)
{
    return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0;
}

// Non-blocking, address reuse, bound to any local address and the port.
bool BindLocal(int fd, int port)
{
    const int one = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    return MakeNonBlocking(fd) && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
           ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

MeshBackend::TcpError ConnectError(int error)
{
    if (error == 0)
        return MeshBackend::TcpError::None;
    if (error == ECONNREFUSED)
        return MeshBackend::TcpError::Refused;
    if (error == ETIMEDOUT)
        return MeshBackend::TcpError::TimedOut;
    return MeshBackend::TcpError::Other;
}

}  // namespace

MeshBackend::TcpSocket PosixMeshBackend::ListenTcp(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s < 0)
        return kNoSocket;
    if (!BindLocal(s, port) || ::listen(s, 5) < 0) {
        ::close(s);
        return kNoSocket;
    }
    Tcp tcp;
    tcp.events = Accept;
    tcp.listening = true;
    tcp_[s] = tcp;
    return s;
}

MeshBackend::TcpSocket PosixMeshBackend::AcceptTcp(TcpSocket listener)
{
    auto it = tcp_.find(static_cast<int>(listener));
    if (it != tcp_.end())
        it->second.awaitingCall = false;
    const int s = ::accept(static_cast<int>(listener), nullptr, nullptr);
    if (s < 0)
        return kNoSocket;
    if (!MakeNonBlocking(s)) {
        ::close(s);
        return kNoSocket;
    }
    Tcp tcp;
    tcp.events = Read | Write | Close;
    tcp_[s] = tcp;
    return s;
}

MeshBackend::TcpSocket PosixMeshBackend::ConnectTcp(std::uint32_t address, int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s < 0)
        return kNoSocket;
    if (!MakeNonBlocking(s)) {
        ::close(s);
        return kNoSocket;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    Tcp tcp;
    tcp.events = Connect | Read | Write | Close;
    tcp.connecting = true;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0 && errno != EINPROGRESS)
        tcp.connectResult = ConnectError(errno);  // reported like a late failure
    tcp_[s] = tcp;
    return s;
}

MeshBackend::IoResult PosixMeshBackend::SendTcp(TcpSocket socket, const char* data, std::size_t size)
{
    const ssize_t n = ::send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
    if (n >= 0)
        return {SendResult::Sent, static_cast<std::size_t>(n)};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        auto it = tcp_.find(static_cast<int>(socket));
        if (it != tcp_.end())
            it->second.wantWrite = true;
        return {SendResult::WouldBlock, 0};
    }
    return {SendResult::Failed, 0};
}

MeshBackend::IoResult PosixMeshBackend::RecvTcp(TcpSocket socket, char* data, std::size_t size)
{
    auto it = tcp_.find(static_cast<int>(socket));
    if (it != tcp_.end())
        it->second.awaitingCall = false;
    const ssize_t n = ::recv(static_cast<int>(socket), data, size, 0);
    if (n >= 0)
        return {SendResult::Sent, static_cast<std::size_t>(n)};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {SendResult::WouldBlock, 0};
    return {SendResult::Failed, 0};
}

void PosixMeshBackend::CloseTcp(TcpSocket socket)
{
    if (tcp_.erase(static_cast<int>(socket)))
        ::close(static_cast<int>(socket));
}

void PosixMeshBackend::StopNotify(TcpSocket socket)
{
    auto it = tcp_.find(static_cast<int>(socket));
    if (it != tcp_.end())
        it->second.events = 0;
}

void PosixMeshBackend::PostWrite(TcpSocket socket)
{
    postedWrites_.push_back(static_cast<int>(socket));
}

void PosixMeshBackend::Notify(int fd, int event, TcpError error)
{
    auto it = tcp_.find(fd);
    if (it == tcp_.end() || !(it->second.events & event) || !Events())
        return;
    Events()->SocketNotify(fd, event, error);
}

void PosixMeshBackend::HandleTcp(int fd, short revents)
{
    auto it = tcp_.find(fd);
    if (it == tcp_.end())
        return;  // closed by an earlier handler of this round
    Tcp& tcp = it->second;
    if (tcp.listening) {
        if (revents & POLLIN) {
            tcp.awaitingCall = true;
            Notify(fd, Accept);
        }
        return;
    }
    if (tcp.connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP)))
            return;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
            error = errno;
        tcp.connecting = false;
        Notify(fd, Connect, ConnectError(error));
        if (error == 0)
            Notify(fd, Write);
        return;
    }
    if ((revents & POLLOUT) && tcp.wantWrite) {
        tcp.wantWrite = false;
        Notify(fd, Write);
        it = tcp_.find(fd);
        if (it == tcp_.end())
            return;
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR)) && !it->second.awaitingCall && !it->second.closeReported) {
        char peek;
        const ssize_t n = ::recv(fd, &peek, 1, MSG_PEEK);
        if (n > 0) {
            it->second.awaitingCall = true;
            Notify(fd, Read);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            it->second.closeReported = true;
            Notify(fd, Close);
        }
    }
}

void PosixMeshBackend::WatchInput(int fd, std::function<void()> onReadable)
{
    inputs_.emplace_back(fd, std::move(onReadable));
}

void PosixMeshBackend::UnwatchInput(int fd)
{
    std::erase_if(inputs_, [fd](const auto& input) { return input.first == fd; });
}

std::optional<int> PosixMeshBackend::OpenUdp(int port)
{
    CloseUdp();
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0)
        return std::nullopt;
    const int one = 1;
    if (::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) < 0 || !BindLocal(s, port)) {
        ::close(s);
        return std::nullopt;
    }
    socket_ = s;
    return 65507;  // the largest UDP payload over IPv4
}

void PosixMeshBackend::CloseUdp()
{
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

MeshBackend::SendResult PosixMeshBackend::SendTo(std::uint32_t address, int port, const char* data, std::size_t size)
{
    if (socket_ < 0)
        return SendResult::Failed;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::sendto(socket_, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0)
        return SendResult::Sent;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) {
        udpWantWrite_ = true;
        return SendResult::WouldBlock;
    }
    return SendResult::Failed;
}

void PosixMeshBackend::SetTimer(int id, unsigned milliseconds)
{
    timers_[id] = {milliseconds, NowMilliseconds() + milliseconds};
}

void PosixMeshBackend::KillTimer(int id)
{
    timers_.erase(id);
}

std::uint64_t PosixMeshBackend::NowMilliseconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

LocalDateTime PosixMeshBackend::LocalTime()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    ::localtime_r(&ts.tv_sec, &local);
    return {local.tm_year + 1900, local.tm_mon + 1,  local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,      static_cast<int>(ts.tv_nsec / 1000000)};
}

std::string PosixMeshBackend::HostComputerName()
{
    // Like a NetBIOS name: the host name's first label, upper case, at most 15 bytes.
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return "LOCALHOST";
    std::string name(host);
    name = name.substr(0, name.find('.')).substr(0, 15);
    for (auto& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

std::optional<std::string> PosixMeshBackend::HostLocalAddress()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &result) != 0 || !result)
        return std::nullopt;
    const auto* address = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    const std::string text = InetNtoa(ntohl(address->sin_addr.s_addr));
    ::freeaddrinfo(result);
    return text;
}

void PosixMeshBackend::ReceiveWaiting()
{
    // Every datagram waiting, in arrival order, up to a bound that lets timers and the other
    // descriptors in between. A handler may stop the component meanwhile.
    const int s = socket_;
    for (int i = 0; i < kDatagramsPerRound && socket_ == s && s >= 0; ++i)
        if (!ReceiveOne())
            break;
}

bool PosixMeshBackend::ReceiveOne()
{
    char buffer[kMaxDatagramSize];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from),
                                 &fromLength);
    if (n < 0)
        return errno != EAGAIN && errno != EWOULDBLOCK;
    // Datagrams larger than the buffer are dropped, as Winsock reports them.
    if (static_cast<std::size_t>(n) <= sizeof buffer && Events())
        Events()->ReceiveDatagram(buffer, static_cast<std::size_t>(n), ntohl(from.sin_addr.s_addr));
    return true;
}

void PosixMeshBackend::FireDueTimers()
{
    const std::uint64_t now = NowMilliseconds();
    std::vector<int> due;
    for (const auto& [id, timer] : timers_)
        if (timer.due <= now)
            due.push_back(id);
    for (int id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end() || it->second.due > now)
            continue;  // killed or restarted by an earlier handler
        it->second.due = now + it->second.interval;
        if (Events())
            Events()->TimerFired(id);
    }
}

void PosixMeshBackend::RunOnce(int maxWaitMs)
{
    int wait = maxWaitMs;
    const std::uint64_t now = NowMilliseconds();
    for (const auto& [id, timer] : timers_) {
        const std::int64_t left = timer.due > now ? static_cast<std::int64_t>(timer.due - now) : 0;
        if (left < wait)
            wait = static_cast<int>(left);
    }
    std::vector<pollfd> fds;
    if (socket_ >= 0)
        fds.push_back({socket_, static_cast<short>(udpWantWrite_ ? POLLIN | POLLOUT : POLLIN), 0});
    for (const auto& input : inputs_)
        fds.push_back({input.first, POLLIN, 0});
    std::vector<int> immediate;  // connections that ended at once
    for (const auto& [fd, tcp] : tcp_) {
        if (tcp.events == 0)
            continue;
        if (tcp.connectResult) {
            immediate.push_back(fd);
            continue;
        }
        short events = 0;
        if (tcp.listening) {
            if (!tcp.awaitingCall)
                events = POLLIN;
        } else if (tcp.connecting) {
            events = POLLOUT;
        } else {
            if (!tcp.closeReported && !tcp.awaitingCall)
                events |= POLLIN;
            if (tcp.wantWrite)
                events |= POLLOUT;
        }
        if (events)
            fds.push_back({fd, events, 0});
    }
    if (!postedWrites_.empty() || !immediate.empty())
        wait = 0;
    const int ready = ::poll(fds.data(), fds.size(), wait < 0 ? 0 : wait);
    // Posted reports come first, as they were queued before this round's readiness.
    std::vector<int> posted;
    posted.swap(postedWrites_);
    for (int fd : posted)
        Notify(fd, Write);
    for (int fd : immediate) {
        auto it = tcp_.find(fd);
        if (it == tcp_.end() || !it->second.connectResult)
            continue;
        const TcpError error = *it->second.connectResult;
        it->second.connectResult.reset();
        it->second.connecting = false;
        Notify(fd, Connect, error);
    }
    if (ready > 0) {
        for (const auto& p : fds) {
            if (!p.revents)
                continue;
            if (p.fd != socket_ && tcp_.count(p.fd) && !std::any_of(inputs_.begin(), inputs_.end(), [&](const auto& i) {
                    return i.first == p.fd;
                })) {
                HandleTcp(p.fd, p.revents);
                continue;
            }
            if (p.fd == socket_ && (p.revents & POLLOUT) && udpWantWrite_) {
                udpWantWrite_ = false;
                if (Events())
                    Events()->UdpWritable();
            }
            if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (p.fd == socket_) {
                ReceiveWaiting();
            } else {
                for (const auto& input : inputs_)
                    if (input.first == p.fd) {
                        auto handler = input.second;  // the handler may unwatch itself
                        handler();
                        break;
                    }
            }
        }
    }
    FireDueTimers();
}

void PosixMeshBackend::RunFor(std::uint64_t milliseconds)
{
    const std::uint64_t end = NowMilliseconds() + milliseconds;
    while (!quit_) {
        const std::uint64_t now = NowMilliseconds();
        if (now >= end)
            break;
        RunOnce(static_cast<int>(std::min<std::uint64_t>(end - now, 1000)));
    }
}

}  // namespace kiv::mesh
