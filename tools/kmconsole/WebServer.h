// The web console's HTTP side: serves WebConsole's answers on an address and port, from the
// HTTP library's own threads, holding a request that waits for news (long polling) until the
// console changes. Everything that touches the console goes through WithConsole, under one lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kmconsole::web {

class WebConsole;

class WebServer {
public:
    explicit WebServer(WebConsole& console);
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
