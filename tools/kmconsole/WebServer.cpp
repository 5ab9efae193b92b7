// Built without the Shift-JIS execution character set: the HTTP library's header pulls in
// <chrono>, and this file holds no text of the system.
#include "WebServer.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "WebConsole.h"
#include "WebJson.h"

namespace kmconsole::web {
namespace {

constexpr auto kLongPollWait = std::chrono::seconds(20);
// Each connection a browser keeps open holds a thread while it waits (a state request up to
// kLongPollWait, an idle keep-alive up to its time-out): enough for a handful of browsers.
constexpr int kThreads = 32;

}  // namespace

struct WebServer::Impl {
    explicit Impl(WebConsole& c) : console(c) {}

    std::uint64_t Now() const
    {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    }

    void Serve(const httplib::Request& req, httplib::Response& res)
    {
        Request request;
        request.method = req.method;
        request.path = req.path;
        for (const auto& [name, value] : req.params)
            request.query.emplace(name, value);  // the first of repeated names counts
        for (const char* name : {"cookie", "content-type", "x-kiv-token", "x-kiv-session"})
            if (req.has_header(name))
                request.headers[name] = req.get_header_value(name);
        request.body = req.body;

        Response response;
        try {
            std::unique_lock<std::mutex> lock(mutex);
            response = console.Handle(request, Now());
            if (response.waitSince) {
                const std::uint64_t since = *response.waitSince;
                changed.wait_for(lock, kLongPollWait, [&] { return stopping || console.Version() > since; });
                response.body = console.StateJson(response.session);
            }
        } catch (const std::exception&) {
            response = Response{};
            response.status = 500;
            response.body = "{\"error\":\"internal\",\"reason\":\"the console could not answer\"}";
        }
        res.status = response.status;
        for (const auto& [name, value] : response.headers)
            res.set_header(name.c_str(), value);
        res.set_content(response.body, response.contentType.c_str());
    }

    WebConsole& console;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    httplib::Server server;
    std::thread thread;
};

WebServer::WebServer(WebConsole& console) : impl_(std::make_unique<Impl>(console)) {}

WebServer::~WebServer()
{
    Stop();
}

bool WebServer::Start(const std::string& address, int port, std::string& error)
{
    auto& s = impl_->server;
    s.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    s.set_payload_max_length(kMaxJsonBytes);
    s.set_read_timeout(5, 0);
    s.set_write_timeout(5, 0);
    s.set_keep_alive_max_count(100);
    s.set_keep_alive_timeout(5);
    const auto handler = [this](const httplib::Request& req, httplib::Response& res) { impl_->Serve(req, res); };
    s.Get(".*", handler);
    s.Post(".*", handler);
    s.Put(".*", handler);
    s.Patch(".*", handler);
    s.Delete(".*", handler);
    s.Options(".*", handler);
    if (!s.bind_to_port(address.c_str(), port)) {
        error = "cannot listen on " + address + ":" + std::to_string(port);
        return false;
    }
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    return true;
}

void WebServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->changed.notify_all();
    impl_->server.stop();
    if (impl_->thread.joinable())
        impl_->thread.join();
}

void WebServer::WithConsole(const std::function<void(WebConsole&, std::uint64_t)>& f)
{
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        f(impl_->console, impl_->Now());
    }
    impl_->changed.notify_all();
}

}  // namespace kmconsole::web
