// The web console's HTTP side: serves WebConsole's answers on an address and port from one
// thread of its own that waits on every connection at once, so no client, however slow, holds
// up another. Each connection has a deadline for every step (the head of a request, its body,
// writing the answer); connections are capped per client address and in all; a request that
// waits for news (long polling) is one per session and a few in all. Everything that touches
// the console goes through WithConsole or the server's own calls, under one lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kmconsole::web {

class WebConsole;

struct ServerLimits {
    std::uint64_t headMs = 5000;        // for the head of a request, and a connection's idle wait
    std::uint64_t bodyMs = 5000;        // for its body
    std::uint64_t writeMs = 10000;      // for the answer to be taken by the client
    std::uint64_t longPollMs = 20000;   // the longest a state request waits for news
    std::size_t connections = 64;       // in all
    std::size_t perAddress = 16;        // from one client address
    std::size_t waitingPolls = 32;      // state requests waiting at once
};

class WebServer {
public:
    WebServer(WebConsole& console, ServerLimits limits);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds and starts serving; false with the reason when the address cannot be had.
    bool Start(const std::string& address, int port, std::string& error);
    void Stop();
    // Runs f on the console under the lock, then wakes the requests waiting for news.
    void WithConsole(const std::function<void(WebConsole&, std::uint64_t nowMs)>& f);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kmconsole::web
