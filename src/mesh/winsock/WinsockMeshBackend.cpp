#include "WinsockMeshBackend.h"

#include <mmsystem.h>

#include "MessagePump.h"

namespace kiv::mesh {
namespace {

const char kWindowClass[] = "KivKestrelMeshWindow";

void RegisterWindowClass()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // fails harmlessly when already registered
}

}  // namespace

WinsockMeshBackend::WinsockMeshBackend()
    : ownDeadlines_(std::make_unique<Win32Deadlines>()), deadlines_(ownDeadlines_->Timers())
{
    Open();
}

WinsockMeshBackend::WinsockMeshBackend(Deadlines& deadlines) : deadlines_(deadlines) { Open(); }

void WinsockMeshBackend::Open()
{
    deadlines_.SetHandler(TimerSpace::Mesh, [this](int id) {
        if (Events())
            Events()->TimerFired(id);
    });
    RegisterWindowClass();
    window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    }
}

WinsockMeshBackend::~WinsockMeshBackend()
{
    deadlines_.SetHandler(TimerSpace::Mesh, nullptr);
    CloseUdp();
    if (window_)
        DestroyWindow(window_);
}

LRESULT CALLBACK WinsockMeshBackend::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<WinsockMeshBackend*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self)
        return self->OnWindowMessage(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT WinsockMeshBackend::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kMeshSocketMessage) {
        const SOCKET s = static_cast<SOCKET>(wParam);
        if (s == socket_ && socket_ != INVALID_SOCKET) {
            if (WSAGETSELECTEVENT(lParam) == FD_WRITE) {
                if (Events())
                    Events()->UdpWritable();
            } else {
                ReceiveWaiting();
            }
        } else if (s != INVALID_SOCKET && Events()) {
            const int error = WSAGETSELECTERROR(lParam);
            TcpError e = TcpError::None;
            if (error == WSAECONNREFUSED)
                e = TcpError::Refused;
            else if (error == WSAETIMEDOUT)
                e = TcpError::TimedOut;
            else if (error != 0)
                e = TcpError::Other;
            Events()->SocketNotify(static_cast<TcpSocket>(s), WSAGETSELECTEVENT(lParam), e);
        }
        return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

bool WinsockMeshBackend::BindLocal(SOCKET s, int port)
{
    u_long nonBlocking = 1;
    const BOOL one = TRUE;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<u_short>(port));
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0 &&
           setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one) == 0 &&
           bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool WinsockMeshBackend::Select(SOCKET s, long events)
{
    return window_ && WSAAsyncSelect(s, window_, kMeshSocketMessage, events) == 0;
}

std::optional<int> WinsockMeshBackend::OpenUdp(int port)
{
    CloseUdp();
    WSADATA data{};
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return std::nullopt;
    wsaStarted_ = true;
    // The component's timers and ticks want 1 ms resolution while it runs, and only then: the
    // finer system timer costs power (a laptop on battery with KestrelMesh off pays nothing).
    fineTimer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    // Winsock 2 reports 0 (no limit): take the largest UDP payload over IPv4 then.
    const int maxUdp = data.iMaxUdpDg > 0 ? data.iMaxUdpDg : 65507;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        CloseUdp();
        return std::nullopt;
    }
    const BOOL one = TRUE;
    socket_ = s;
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&one), sizeof one) != 0 ||
        !BindLocal(s, port) || !Select(s, FD_READ | FD_WRITE)) {
        CloseUdp();
        return std::nullopt;
    }
    return maxUdp;
}

void WinsockMeshBackend::CloseUdp()
{
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    socket_ = INVALID_SOCKET;
    if (wsaStarted_)
        WSACleanup();
    wsaStarted_ = false;
    if (fineTimer_)
        timeEndPeriod(1);
    fineTimer_ = false;
}

MeshBackend::SendResult WinsockMeshBackend::SendTo(std::uint32_t address, int port, const char* data,
                                                   std::size_t size)
{
    if (socket_ == INVALID_SOCKET)
        return SendResult::Failed;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(static_cast<u_short>(port));
    if (sendto(socket_, data, static_cast<int>(size), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) !=
        SOCKET_ERROR)
        return SendResult::Sent;
    if (WSAGetLastError() == WSAEWOULDBLOCK)
        return SendResult::WouldBlock;  // FD_WRITE follows once the socket takes more
    return SendResult::Failed;
}

void WinsockMeshBackend::SetTimer(int id, unsigned milliseconds) { deadlines_.Set(TimerSpace::Mesh, id, milliseconds); }

void WinsockMeshBackend::KillTimer(int id) { deadlines_.Kill(TimerSpace::Mesh, id); }

std::uint64_t WinsockMeshBackend::NowMilliseconds()
{
    // timeGetTime wraps after 49.7 days; count the wraps.
    const std::uint32_t tick = timeGetTime();
    if (tick < lastTick_)
        tickHigh_ += 0x100000000ull;
    lastTick_ = tick;
    return tickHigh_ + tick;
}

LocalDateTime WinsockMeshBackend::LocalTime()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::string WinsockMeshBackend::HostComputerName()
{
    char name[16] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size))
        return {};
    return std::string(name, size);
}

std::optional<std::string> WinsockMeshBackend::HostLocalAddress()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return std::nullopt;
    const hostent* entry = gethostbyname(host);
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0])
        return std::nullopt;
    const auto* b = reinterpret_cast<const unsigned char*>(entry->h_addr_list[0]);
    return InetNtoa(static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
                    static_cast<std::uint32_t>(b[2]) << 8 | b[3]);
}

MeshBackend::TcpSocket WinsockMeshBackend::ListenTcp(int port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    if (!BindLocal(s, port) || !Select(s, FD_ACCEPT) || listen(s, 5) != 0) {
        closesocket(s);
        return kNoSocket;
    }
    return static_cast<TcpSocket>(s);
}

MeshBackend::TcpSocket WinsockMeshBackend::AcceptTcp(TcpSocket listener)
{
    SOCKET s = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    if (!Select(s, FD_READ | FD_WRITE | FD_CLOSE)) {
        closesocket(s);
        return kNoSocket;
    }
    return static_cast<TcpSocket>(s);
}

MeshBackend::TcpSocket WinsockMeshBackend::ConnectTcp(std::uint32_t address, int port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(static_cast<u_short>(port));
    // WSAAsyncSelect makes the socket non-blocking, so connect reports WSAEWOULDBLOCK and
    // the outcome arrives as FD_CONNECT.
    if (!Select(s, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) ||
        (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 &&
         WSAGetLastError() != WSAEWOULDBLOCK)) {
        closesocket(s);
        return kNoSocket;
    }
    return static_cast<TcpSocket>(s);
}

MeshBackend::IoResult WinsockMeshBackend::SendTcp(TcpSocket socket, const char* data, std::size_t size)
{
    const int n = send(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
    if (n != SOCKET_ERROR)
        return {SendResult::Sent, static_cast<std::size_t>(n)};
    return {WSAGetLastError() == WSAEWOULDBLOCK ? SendResult::WouldBlock : SendResult::Failed, 0};
}

MeshBackend::IoResult WinsockMeshBackend::RecvTcp(TcpSocket socket, char* data, std::size_t size)
{
    const int n = recv(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
    if (n != SOCKET_ERROR)
        return {SendResult::Sent, static_cast<std::size_t>(n)};
    return {WSAGetLastError() == WSAEWOULDBLOCK ? SendResult::WouldBlock : SendResult::Failed, 0};
}

void WinsockMeshBackend::CloseTcp(TcpSocket socket)
{
    closesocket(static_cast<SOCKET>(socket));
}

void WinsockMeshBackend::StopNotify(TcpSocket socket)
{
    if (window_)
        WSAAsyncSelect(static_cast<SOCKET>(socket), window_, 0, 0);
}

void WinsockMeshBackend::PostWrite(TcpSocket socket)
{
    if (window_)
        PostMessageA(window_, kMeshSocketMessage, static_cast<WPARAM>(socket), WSAMAKESELECTREPLY(FD_WRITE, 0));
}

void WinsockMeshBackend::RunOnce(int maxWaitMs) { pump::WaitAndProcessMessages(static_cast<unsigned>(maxWaitMs < 0 ? 0 : maxWaitMs)); }

void WinsockMeshBackend::ReceiveWaiting()
{
    // Under load one notification per datagram is what costs most: take every datagram that
    // is waiting, in arrival order, up to a bound that lets the window's other messages
    // (timers, input) in between. A handler may stop the component meanwhile.
    const SOCKET s = socket_;
    for (int i = 0; i < kDatagramsPerNotification && socket_ == s && s != INVALID_SOCKET; ++i)
        if (!ReceiveOne())
            break;
}

bool WinsockMeshBackend::ReceiveOne()
{
    char buffer[kMaxDatagramSize];
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int n = recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n == SOCKET_ERROR)
        return WSAGetLastError() != WSAEWOULDBLOCK;  // e.g. WSAEMSGSIZE: that datagram is dropped
    if (Events())
        Events()->ReceiveDatagram(buffer, static_cast<std::size_t>(n), ntohl(from.sin_addr.s_addr));
    return true;
}

}  // namespace kiv::mesh
