// libFuzzer target: the web console's HTTP layer and its decisions, fed with the bytes of two
// connections (requests well formed or not, cut anywhere) mixed with what peers send and the
// passing of time. Each request goes the server's way: its head is read and screened, then its
// body read and the request handled. Every answer must be one of the statuses the console
// gives and carry the security headers, a request must stay within its bounds, and every view
// the console shows must stay UTF-8.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "WebConsole.h"
#include "WebJson.h"
#include "WebRequest.h"

using kiv::fuzz::Check;
using kiv::fuzz::Reader;

namespace {

using namespace kmconsole::web;

const unsigned char kPage[] = "<p>page</p>";
const char kToken[] = "fuzz-token-0123456789";

void CheckAnswer(const Response& r)
{
    static const int kStatuses[] = {200, 202, 400, 401, 403, 404, 405, 409, 411, 413, 415, 421, 429, 431, 503, 505};
    bool known = false;
    for (int s : kStatuses)
        known = known || r.status == s;
    Check(known);
    Check(IsUtf8(r.body));
    const std::string text = FormatResponse(r, false);
    Check(text.find("\r\nX-Content-Type-Options: nosniff\r\n") != std::string::npos);
    Check(text.find("\r\nContent-Security-Policy: default-src 'none';") != std::string::npos);
}

struct Fuzz {
    int serial = 0;
    WebConsole console{kToken, "Kiv", [this] { return "ab" + std::to_string(++serial); },
                       {{"/index.html", "text/html", kPage, sizeof kPage - 1}}};
    std::vector<std::string> sessions{"ab1", "zz", ""};
    std::unique_ptr<RequestReader> connections[2] = {std::make_unique<RequestReader>(),
                                                     std::make_unique<RequestReader>()};
    std::uint64_t now = 1;

    // What the server does with the bytes a connection has brought so far.
    void Drive(std::unique_ptr<RequestReader>& c, const std::string& client)
    {
        for (;;) {
            Request& r = c->request();
            Check(r.body.size() <= kMaxBodyBytes);
            Check(r.headers.size() <= 7);
            switch (c->state()) {
            case RequestReader::State::Head:
            case RequestReader::State::Body:
                return;
            case RequestReader::State::Failed: {
                const int s = c->failStatus();
                Check(s == 400 || s == 413 || s == 431 || s == 505);
                Response failed = ErrorResponse(s, "http", c->failReason());
                CheckAnswer(failed);
                c = std::make_unique<RequestReader>();
                return;
            }
            case RequestReader::State::HeadDone: {
                r.client = client;
                r.local = "127.0.0.1";
                r.localPort = 51080;
                if (const auto refused = console.Screen(r, now)) {
                    Check(refused->close);
                    CheckAnswer(*refused);
                    c = std::make_unique<RequestReader>();
                    return;
                }
                c->ReadBody();
                continue;
            }
            case RequestReader::State::Done: {
                const Response response = console.Handle(r, now);
                CheckAnswer(response);
                if (r.path == "/api/session" && response.status == 200) {
                    const auto parsed = ParseFlatObject(response.body);
                    Check(parsed.object.has_value());
                    sessions.push_back(std::get<std::string>(parsed.object->at("session")));
                }
                if (response.waitSince)
                    Check(IsUtf8(console.StateJson(response.session)));
                c->Next();
                continue;
            }
            }
        }
    }

    // A request as a browser, or someone who knows the page, would write it.
    std::string WellFormed(Reader& in)
    {
        static const char* const kMethods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS"};
        static const char* const kPaths[] = {"/", "/index.html", "/api/session", "/api/state", "/api/state?since=",
                                             "/api/open", "/api/answer", "/api/x", "/login?token=x"};
        const char* method = in.Pick(kMethods);
        std::string path = in.Pick(kPaths);
        if (path.back() == '=')
            path += std::to_string(in.Byte());
        const std::uint8_t flags = in.Byte();
        std::string body;
        switch (in.Byte() % 4) {
        case 0:
            break;
        case 1:
            body = "{\"kiv\":\"k" + std::to_string(in.Byte() % 4) + "\"}";
            break;
        case 2:
            body = "{\"kiv\":\"k" + std::to_string(in.Byte() % 4) + "\",\"prompt\":" + std::to_string(in.Byte()) +
                   (in.Byte() & 1 ? ",\"choice\":" + std::to_string(in.Byte() % 4) : ",\"text\":" + JsonString(in.Text())) +
                   "}";
            break;
        default:
            body = in.Text();
        }
        std::string head = std::string(method) + " " + path + " HTTP/1.1\r\n";
        head += flags & 1 ? "Host: 127.0.0.1:51080\r\n" : "Host: " + in.Text() + "\r\n";
        if (flags & 2)
            head += std::string("X-Kiv-Token: ") + (flags & 4 ? kToken : in.Text()) + "\r\n";
        if (flags & 8)
            head += "X-Kiv-Session: " + sessions[in.Byte() % sessions.size()] + "\r\n";
        if (flags & 16)
            head += "Content-Type: application/json\r\n";
        if (flags & 32)
            head += "Transfer-Encoding: chunked\r\n";
        if (!(flags & 64))
            head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        return head + "\r\n" + body;
    }

    void Run(Reader& in)
    {
        static const char* const kMachines[] = {"KIVPC", "OTHER", ""};
        static const char* const kAddresses[] = {"10.0.0.5", "10.0.0.6"};
        while (in.More()) {
            const std::uint8_t op = in.Byte();
            const std::size_t c = op & 1;
            const std::string client = c ? "10.9.9.9" : "127.0.0.1";
            const Sender from{in.Pick(kMachines), "Kiv", in.Pick(kAddresses)};
            switch ((op >> 1) % 8) {
            case 0:
                connections[c]->Feed(in.Text());
                Drive(connections[c], client);
                break;
            case 1: {
                // Whole, or cut in two where the input says.
                const std::string bytes = WellFormed(in);
                const std::size_t cut = bytes.empty() ? 0 : in.Byte() % bytes.size();
                connections[c]->Feed(bytes.substr(0, cut));
                Drive(connections[c], client);
                connections[c]->Feed(bytes.substr(cut));
                Drive(connections[c], client);
                break;
            }
            case 2:
                console.OnInputLine(from, in.Text(), in.Text(), in.Text(), in.Byte() & 1);
                break;
            case 3:
                console.OnInputSelect(from, in.Text(), in.Text(), in.Text(), in.Text());
                break;
            case 4:
                console.OnInputMessage(from, in.Text(), now);
                break;
            case 5:
                now += in.Byte() * 100u;
                console.Tick(now);
                break;
            case 6:
                console.SyncPeers({{from.machineName, "Kiv", in.Text(), from.address, (in.Byte() & 1) != 0,
                                    in.Byte() & 1 ? std::string() : from.address}});
                break;
            default:
                console.OnMenuNothing(from);
                console.TakeOutgoing();
                break;
            }
        }
        for (const auto& s : sessions)
            Check(IsUtf8(console.StateJson(s)));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    Fuzz().Run(in);
    return 0;
}
