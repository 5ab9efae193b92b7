// libFuzzer target: the web console's request handling and dialogue bookkeeping, fed with
// requests (right and wrong tokens, sessions, paths, bodies) mixed with what Kivs send and
// the passing of time. Every answer must be one of the statuses the console gives, and every
// view it shows must stay UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "WebConsole.h"
#include "WebJson.h"

using kiv::fuzz::Check;
using kiv::fuzz::Reader;

namespace {

const unsigned char kPage[] = "<meta content=\"@TOKEN@\">";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kmconsole::web;
    int serial = 0;
    WebConsole console("fuzz-token-1234", "Kiv", [&] { return "ab" + std::to_string(++serial); },
                       {{"/index.html", "text/html", kPage, sizeof kPage - 1}});
    std::vector<std::string> sessions{"ab1", "zz", ""};
    std::uint64_t now = 1;
    Reader in{data, size};
    static const char* const kMethods[] = {"GET", "POST", "PUT", "OPTIONS", "HEAD", "DELETE"};
    static const char* const kPaths[] = {"/", "/index.html", "/login", "/api/session", "/api/state",
                                         "/api/open", "/api/answer", "/api/x", "/app.js"};
    static const char* const kMachines[] = {"KIVPC", "OTHER", ""};
    while (in.More()) {
        const std::uint8_t op = in.Byte();
        const std::string machine = kMachines[in.Byte() % 3];
        switch (op % 7) {
        case 0: {
            Request r;
            r.method = kMethods[in.Byte() % 6];
            const std::uint8_t p = in.Byte();
            r.path = p < 200 ? kPaths[p % 9] : in.Text();
            const std::uint8_t flags = in.Byte();
            if (flags & 1)
                r.headers["x-kiv-token"] = flags & 2 ? "fuzz-token-1234" : in.Text();
            if (flags & 4)
                r.headers["x-kiv-session"] = sessions[in.Byte() % sessions.size()];
            if (flags & 8)
                r.headers["content-type"] = "application/json";
            if (flags & 16)
                r.headers["cookie"] = flags & 32 ? "kiv_token=fuzz-token-1234" : in.Text();
            if (flags & 64)
                r.query[in.Text()] = in.Text();
            r.body = in.Text();
            const Response response = console.Handle(r, now);
            static const int kStatuses[] = {200, 202, 303, 400, 401, 403, 404, 405, 409, 415};
            bool known = false;
            for (int s : kStatuses)
                known = known || response.status == s;
            Check(known);
            if (r.path == "/api/session" && response.status == 200) {
                const auto parsed = ParseFlatObject(response.body);
                Check(parsed.object.has_value());
                sessions.push_back(std::get<std::string>(parsed.object->at("session")));
            }
            break;
        }
        case 1:
            console.OnInputLine(machine, "Kiv", in.Text(), in.Text(), in.Text(), in.Byte() & 1);
            break;
        case 2:
            console.OnInputSelect(machine, "Kiv", in.Text(), in.Text(), in.Text(), in.Text());
            break;
        case 3:
            console.OnInputMessage(machine, "Kiv", in.Text(), now);
            break;
        case 4:
            now += in.Byte() * 100u;
            console.Tick(now);
            break;
        case 5:
            console.SyncPeers({{machine, "Kiv", in.Text(), in.Text(), (in.Byte() & 1) != 0}});
            break;
        default:
            console.OnMenuNothing(machine, "Kiv");
            console.TakeOutgoing();
            break;
        }
    }
    for (const auto& s : sessions)
        Check(IsUtf8(console.StateJson(s)));
    return 0;
}
