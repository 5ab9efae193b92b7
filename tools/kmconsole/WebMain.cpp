#include "WebMain.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ConsoleOptions.h"
#include "KestrelMesh.h"
#include "SystemMeshBackend.h"
#include "WebConsole.h"
#include "WebServer.h"

namespace kmconsole {

#ifdef KMCONSOLE_NO_WEB
int RunWebConsole(int, char**)
{
    std::fputs("kmconsole web: this kmconsole was built without its web console (the HTTP library's source "
               "was missing; see tools/kmconsole/get-httplib-source.sh)\n",
               stderr);
    return 1;
}
#else
// The page's files, generated from tools/kmconsole/web at build time.
std::vector<web::Asset> WebAssets();

namespace {

const char kUsage[] =
    "usage: kmconsole web [options]\n"
    "  --listen ADDRESS:PORT  where the page is served (default 127.0.0.1:51080);\n"
    "                         0.0.0.0:PORT serves every network of this computer\n"
    "  --token TOKEN          the token every request must carry (8 to 128 of A-Z a-z 0-9 . _ ~ -);\n"
    "                         a random one is made when none is given\n"
    "and how it joins the mesh (handle name default web):\n";

struct WebOptions {
    std::string address = "127.0.0.1";
    int webPort = 51080;
    std::optional<std::string> token;
    MeshOptions mesh{"web"};
};

bool IsDottedQuad(const std::string& text)
{
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        const auto dot = text.find('.', pos);
        const std::string part = text.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::atoi(part.c_str()) > 255)
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        pos = dot + 1;
    }
    return parts == 4 && text.find('.', pos) == std::string::npos;
}

bool TokenUsable(const std::string& token)
{
    return token.size() >= 8 && token.size() <= 128 &&
           token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._~-") ==
               std::string::npos;
}

std::optional<std::string> Parse(int argc, char** argv, WebOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (ParseMeshFlag(a, o.mesh))
            continue;
        if (a == "--help" || a == "-h" || i + 1 >= argc)
            return std::string();
        const std::string v = argv[++i];
        if (const auto problem = ParseMeshOption(a, v, o.mesh)) {
            if (!problem->empty())
                return problem;
        } else if (a == "--listen") {
            const auto colon = v.rfind(':');
            const auto port = colon == std::string::npos ? std::nullopt : ParsePort(v.substr(colon + 1));
            if (!port || !IsDottedQuad(v.substr(0, colon)))
                return "--listen wants ADDRESS:PORT with an IPv4 address, e.g. 0.0.0.0:51080";
            o.address = v.substr(0, colon);
            o.webPort = *port;
        } else if (a == "--token") {
            if (!TokenUsable(v))
                return "--token wants 8 to 128 of the characters A-Z a-z 0-9 . _ ~ -";
            o.token = v;
        } else {
            return std::string();
        }
    }
    return std::nullopt;
}

std::string RandomHex()
{
    static std::random_device device;
    std::string out;
    for (int i = 0; i < 4; ++i) {
        char buf[9];
        std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(device()));
        out += buf;
    }
    return out;
}

}  // namespace

int RunWebConsole(int argc, char** argv)
{
    WebOptions o;
    if (const auto problem = Parse(argc, argv, o))
        return UsageError("kmconsole web", *problem, kUsage);
    const std::string token = o.token.value_or(RandomHex());

    kiv::mesh::SystemMeshBackend backend;
    kiv::TKestrelMesh kms(backend);
    ApplyMeshOptions(o.mesh, backend, kms);
    kms.SetFTPPortNo(0);

    web::WebConsole console(token, o.mesh.menuDisc, RandomHex, WebAssets());
    web::WebServer server(console);
    using C = web::WebConsole;
    kms.OnInputSelect = [&](auto& msg, auto& list, auto& ret, auto& tag, auto&, auto& m, auto& d) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnInputSelect(m, d, tag, msg, list, ret); });
    };
    kms.OnInputLine = [&](auto& msg, auto& label, auto& tag, auto&, auto& m, auto& d, bool password) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnInputLine(m, d, tag, msg, label, password); });
    };
    kms.OnInputText = [&](auto& msg, auto& tag, auto&, auto& m, auto& d) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnInputLine(m, d, tag, msg, "", false); });
    };
    kms.OnInputMessage = [&](auto& msg, auto&, auto& m, auto& d, auto&) {
        server.WithConsole([&](C& c, std::uint64_t now) { c.OnInputMessage(m, d, msg, now); });
    };
    kms.OnMenuNothing = [&](auto&, auto& m, auto& d) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnMenuNothing(m, d); });
    };

    if (!kms.Start()) {
        std::fprintf(stderr, "kmconsole web: cannot open UDP port %d\n", o.mesh.port);
        return 1;
    }
    kms.Login();
    std::string error;
    if (!server.Start(o.address, o.webPort, error)) {
        std::fprintf(stderr, "kmconsole web: %s\n", error.c_str());
        kms.Stop();
        return 1;
    }
    const std::string host = o.address == "0.0.0.0" ? kms.IPAddress() : o.address;
    const std::string base = "http://" + host + ":" + std::to_string(o.webPort);
    std::printf("kmconsole web: logged in to KestrelMesh as %s (%s); serving %s/\n", kms.MachineName().c_str(),
                kms.IPAddress().c_str(), base.c_str());
    std::printf("open this link once in the browser (it keeps the token as a cookie):\n%s/login?token=%s\n",
                base.c_str(), token.c_str());
    std::fflush(stdout);

    CatchStopSignals();
    std::vector<web::PeerInfo> peers;
    std::vector<web::Outgoing> outgoing;
    while (!StopRequested()) {
        backend.RunOnce(50);
        peers.clear();
        for (int i = 0; i < kms.LoginCount(); ++i) {
            const auto& p = kms.LoginUser(i);
            peers.push_back({p.MachineName, p.Discrimination, p.HandleName, p.IPAddress, p.Menu});
        }
        server.WithConsole([&](C& c, std::uint64_t now) {
            c.SyncPeers(peers);
            c.Tick(now);
            outgoing = c.TakeOutgoing();
        });
        for (const auto& out : outgoing) {
            if (out.kind == web::Outgoing::Kind::MenuCheck) {
                kms.SendMenuCheck(out.machineName, out.discrimination);
                continue;
            }
            // Addressed by its computer name: its announced address is what it checks.
            const std::string target = kms.FindPeerAddress(out.machineName);
            if (!target.empty())
                kms.SendInputReturn(out.tag, out.value, target, out.discrimination);
        }
    }
    server.Stop();
    kms.Stop();
    std::printf("kmconsole web: logged out\n");
    return 0;
}
#endif

}  // namespace kmconsole
