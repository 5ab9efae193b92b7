// Built without the Shift-JIS execution character set: Boost's headers pull in <chrono>, and
// this file holds no text of the system.
#include "WebServer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <chrono>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "WebConsole.h"
#include "WebRequest.h"

namespace kmconsole::web {
namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

// After an answer that ends a connection, what the client still sends (the rest of a refused
// body) is read and dropped for a while, up to this much, so that the client gets the answer
// rather than a reset.
constexpr std::size_t kLingerBytes = 1024 * 1024;
constexpr std::uint64_t kLingerMs = 2000;
constexpr std::size_t kReadChunk = 4096;

}  // namespace

struct WebServer::Impl {
    class Connection;

    Impl(WebConsole& c, ServerLimits l) : console(c), limits(l) {}

    std::uint64_t Now() const
    {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }
    void Accept();
    void OnAccept(const error_code& ec, tcp::socket socket);
    void Refuse(tcp::socket& socket, const std::string& reason);
    void Forget(Connection* connection);
    // A state request that waits: the older one of its session answers now, and so does this
    // one when too many wait.
    void Wait(const std::shared_ptr<Connection>& connection);
    // Answers every waiting state request that has news.
    void Notify();

    WebConsole& console;
    const ServerLimits limits;
    std::mutex mutex;  // the console's
    const Clock::time_point start = Clock::now();
    // Declared first, destroyed last: every socket and timer below belongs to it.
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    net::steady_timer acceptPause{io};
    std::list<std::shared_ptr<Connection>> connections;
    std::map<std::string, std::size_t> perAddress;
    std::map<std::string, std::weak_ptr<Connection>> waiting;  // by session
    std::thread thread;
};

// One client connection, on the server's thread only: reads requests one at a time, asks the
// console, and writes the answers, each step under a deadline of its own.
class WebServer::Impl::Connection : public std::enable_shared_from_this<Connection> {
public:
    enum class Phase { Head, Body, Waiting, Writing, Lingering, Closed };

    Connection(WebServer::Impl& server, tcp::socket socket, std::string client, std::string local, int port)
        : server_(server), socket_(std::move(socket)), timer_(server.io), client_(std::move(client)),
          local_(std::move(local)), port_(port)
    {
    }

    void Start()
    {
        Enter(Phase::Head, server_.limits.headMs);
        Read();
    }
    void Close()
    {
        if (phase_ == Phase::Closed)
            return;
        phase_ = Phase::Closed;
        error_code ignored;
        socket_.close(ignored);
        timer_.cancel();
        server_.Forget(this);
    }
    // A waiting state request answers with the state as it is now.
    void AnswerWait()
    {
        if (phase_ != Phase::Waiting)
            return;
        const auto it = server_.waiting.find(session_);
        if (it != server_.waiting.end() && it->second.lock().get() == this)
            server_.waiting.erase(it);
        Response r;
        if (Ask([&] { r.body = server_.console.StateJson(session_); }))
            Respond(std::move(r));
    }

    Phase phase() const { return phase_; }
    Clock::time_point since() const { return since_; }
    const std::string& client() const { return client_; }
    const std::string& session() const { return session_; }
    std::uint64_t waitSince() const { return waitSince_; }

private:
    void Enter(Phase phase, std::uint64_t deadlineMs)
    {
        phase_ = phase;
        since_ = Clock::now();
        timer_.expires_after(std::chrono::milliseconds(deadlineMs));
        timer_.async_wait([self = shared_from_this(), serial = ++timerSerial_](const error_code& ec) {
            if (!ec && serial == self->timerSerial_)
                self->Expire();
        });
    }

    void Expire()
    {
        if (phase_ == Phase::Waiting)
            AnswerWait();
        else
            Close();  // a head or body too slow, an answer not taken, a lingering end
    }

    void Read()
    {
        reading_ = true;
        socket_.async_read_some(net::buffer(chunk_), [self = shared_from_this()](const error_code& ec, std::size_t n) {
            self->OnRead(ec, n);
        });
    }

    void OnRead(const error_code& ec, std::size_t n)
    {
        reading_ = false;
        if (phase_ == Phase::Closed)
            return;
        if (ec) {
            Close();
            return;
        }
        if (phase_ == Phase::Lingering) {
            lingered_ += n;
            if (lingered_ > kLingerBytes)
                Close();
            else
                Read();
            return;
        }
        if (phase_ == Phase::Writing && closeAfter_)
            return;  // dropped; the end lingers once the answer is out
        reader_.Feed(std::string_view(chunk_.data(), n));
        if (phase_ == Phase::Head || phase_ == Phase::Body)
            Process();
        else if (reader_.state() == RequestReader::State::Failed)
            Close();  // too much sent ahead of an answer
        if (!reading_ && (phase_ == Phase::Head || phase_ == Phase::Body || phase_ == Phase::Waiting ||
                          (phase_ == Phase::Writing && !closeAfter_)))
            Read();
    }

    void Process()
    {
        for (;;) {
            switch (reader_.state()) {
            case RequestReader::State::Head:
            case RequestReader::State::Body:
                return;  // more bytes are needed; the deadline stands
            case RequestReader::State::Failed: {
                Response r = ErrorResponse(reader_.failStatus(), "http", reader_.failReason());
                r.close = true;
                Respond(std::move(r));
                return;
            }
            case RequestReader::State::HeadDone: {
                Request& request = reader_.request();
                request.client = client_;
                request.local = local_;
                request.localPort = port_;
                headRequest_ = request.method == "HEAD";
                std::optional<Response> refusal;
                if (!Ask([&] { refusal = server_.console.Screen(request, server_.Now()); }))
                    return;
                if (refusal) {
                    Respond(std::move(*refusal));
                    return;
                }
                reader_.ReadBody();
                if (reader_.state() == RequestReader::State::Body)
                    Enter(Phase::Body, server_.limits.bodyMs);
                continue;
            }
            case RequestReader::State::Done: {
                const Request& request = reader_.request();
                Response response;
                if (!Ask([&] { response = server_.console.Handle(request, server_.Now()); }))
                    return;
                if (!request.keepAlive)
                    response.close = true;
                if (response.waitSince) {
                    session_ = response.session;
                    waitSince_ = *response.waitSince;
                    closeAfter_ = response.close;
                    Enter(Phase::Waiting, server_.limits.longPollMs);
                    server_.Wait(shared_from_this());
                } else {
                    Respond(std::move(response));
                }
                server_.Notify();  // what the request changed, others may be waiting for
                return;
            }
            }
        }
    }

    // Runs a call of the console under its lock; a failure becomes an answer that says so.
    template <typename F>
    bool Ask(F call)
    {
        try {
            std::lock_guard<std::mutex> lock(server_.mutex);
            call();
            return true;
        } catch (const std::exception&) {
            Response r = ErrorResponse(500, "internal", "the console could not answer");
            r.close = true;
            Respond(std::move(r));
            return false;
        }
    }

    void Respond(Response response)
    {
        if (phase_ == Phase::Writing || phase_ == Phase::Closed)
            return;
        closeAfter_ = closeAfter_ || response.close;
        response.close = closeAfter_;
        out_ = FormatResponse(response, headRequest_);
        Enter(Phase::Writing, server_.limits.writeMs);
        net::async_write(socket_, net::buffer(out_), [self = shared_from_this()](const error_code& ec, std::size_t) {
            self->OnWritten(ec);
        });
    }

    void OnWritten(const error_code& ec)
    {
        if (phase_ == Phase::Closed)
            return;
        if (ec) {
            Close();
            return;
        }
        out_ = std::string();
        if (closeAfter_) {
            Linger();
            return;
        }
        reader_.Next();
        headRequest_ = false;
        Enter(Phase::Head, server_.limits.headMs);
        Process();
        if (!reading_ && (phase_ == Phase::Head || phase_ == Phase::Body))
            Read();
    }

    void Linger()
    {
        error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        lingered_ = 0;
        Enter(Phase::Lingering, kLingerMs);
        if (!reading_)
            Read();
    }

    WebServer::Impl& server_;
    tcp::socket socket_;
    net::steady_timer timer_;
    const std::string client_, local_;
    const int port_;
    RequestReader reader_;
    std::array<char, kReadChunk> chunk_{};
    std::string out_;
    Phase phase_ = Phase::Head;
    Clock::time_point since_ = Clock::now();
    unsigned timerSerial_ = 0;
    bool reading_ = false;
    bool headRequest_ = false;
    bool closeAfter_ = false;
    std::size_t lingered_ = 0;
    std::string session_;
    std::uint64_t waitSince_ = 0;
};

void WebServer::Impl::Accept()
{
    acceptor.async_accept([this](const error_code& ec, tcp::socket socket) { OnAccept(ec, std::move(socket)); });
}

void WebServer::Impl::OnAccept(const error_code& ec, tcp::socket socket)
{
    if (!acceptor.is_open())
        return;
    if (ec) {
        // Out of sockets or memory for a moment: accept again a little later, not in a tight loop.
        acceptPause.expires_after(std::chrono::milliseconds(100));
        acceptPause.async_wait([this](const error_code& e) {
            if (!e)
                Accept();
        });
        return;
    }
    error_code e1, e2;
    const tcp::endpoint remote = socket.remote_endpoint(e1);
    const tcp::endpoint local = socket.local_endpoint(e2);
    if (!e1 && !e2) {
        const std::string client = remote.address().to_string();
        const auto counted = perAddress.find(client);
        std::shared_ptr<Connection> victim;
        if (connections.size() >= limits.connections)
            for (const auto& c : connections)
                if (c->phase() == Connection::Phase::Head && (!victim || c->since() < victim->since()))
                    victim = c;
        if (counted != perAddress.end() && counted->second >= limits.perAddress) {
            Refuse(socket, "too many connections from this address");
        } else if (connections.size() >= limits.connections && !victim) {
            Refuse(socket, "too many connections");
        } else {
            // The connection that has waited longest for a request's head gives way.
            if (victim)
                victim->Close();
            ++perAddress[client];
            auto connection = std::make_shared<Connection>(*this, std::move(socket), client,
                                                           local.address().to_string(), local.port());
            connections.push_back(connection);
            connection->Start();
        }
    }
    Accept();
}

void WebServer::Impl::Refuse(tcp::socket& socket, const std::string& reason)
{
    Response r = ErrorResponse(503, "busy", reason);
    r.close = true;
    const std::string text = FormatResponse(r, false);
    error_code ignored;
    socket.non_blocking(true, ignored);
    socket.write_some(net::buffer(text), ignored);
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

void WebServer::Impl::Forget(Connection* connection)
{
    const auto it = waiting.find(connection->session());
    if (it != waiting.end() && it->second.lock().get() == connection)
        waiting.erase(it);
    const auto counted = perAddress.find(connection->client());
    if (counted != perAddress.end() && --counted->second == 0)
        perAddress.erase(counted);
    connections.remove_if([connection](const auto& c) { return c.get() == connection; });
}

void WebServer::Impl::Wait(const std::shared_ptr<Connection>& connection)
{
    auto& slot = waiting[connection->session()];
    const std::shared_ptr<Connection> older = slot.lock();
    if (older) {
        slot = connection;
        older->AnswerWait();
    } else if (waiting.size() > limits.waitingPolls) {
        waiting.erase(connection->session());
        connection->AnswerWait();
    } else {
        slot = connection;
    }
}

void WebServer::Impl::Notify()
{
    std::uint64_t version;
    {
        std::lock_guard<std::mutex> lock(mutex);
        version = console.Version();
    }
    std::vector<std::shared_ptr<Connection>> due;
    for (const auto& [session, weak] : waiting)
        if (const auto c = weak.lock(); c && version > c->waitSince())
            due.push_back(c);
    for (const auto& c : due)
        c->AnswerWait();
}

WebServer::WebServer(WebConsole& console, ServerLimits limits) : impl_(std::make_unique<Impl>(console, limits)) {}

WebServer::~WebServer()
{
    Stop();
}

bool WebServer::Start(const std::string& address, int port, std::string& error)
{
    Impl& s = *impl_;
    error_code ec;
    const auto ip = net::ip::make_address_v4(address, ec);
    const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
    if (!ec)
        s.acceptor.open(endpoint.protocol(), ec);
#ifndef _WIN32
    // A restarted console gets its port back at once; on Windows the same option would let
    // another program take the port from it.
    if (!ec)
        s.acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
#endif
    if (!ec)
        s.acceptor.bind(endpoint, ec);
    if (!ec)
        s.acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message();
        error_code ignored;
        s.acceptor.close(ignored);
        return false;
    }
    s.Accept();
    s.thread = std::thread([&s] {
        for (;;) {
            try {
                s.io.run();
                return;
            } catch (const std::exception&) {
                // A step of one connection failed (out of memory): the others go on.
            }
        }
    });
    return true;
}

void WebServer::Stop()
{
    Impl& s = *impl_;
    if (!s.thread.joinable())
        return;
    net::post(s.io, [&s] {
        error_code ignored;
        s.acceptor.close(ignored);
        s.acceptPause.cancel();
        const auto all = s.connections;
        for (const auto& c : all)
            c->Close();
        s.io.stop();
    });
    s.thread.join();
    s.connections.clear();
}

void WebServer::WithConsole(const std::function<void(WebConsole&, std::uint64_t)>& f)
{
    Impl& s = *impl_;
    bool changed;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        const std::uint64_t before = s.console.Version();
        f(s.console, s.Now());
        changed = s.console.Version() != before;
    }
    if (changed)
        net::post(s.io, [&s] { s.Notify(); });
}

}  // namespace kmconsole::web
