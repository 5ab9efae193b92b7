#include "WebMain.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
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

// The page's files, generated from tools/kmconsole/web at build time.
std::vector<web::Asset> WebAssets();

namespace {

const char kTokenVariable[] = "KMCONSOLE_WEB_TOKEN";

const char kUsage[] =
    "usage: kmconsole web [options]\n"
    "  --listen ADDRESS:PORT  where the page is served (default 127.0.0.1:51080);\n"
    "                         0.0.0.0:PORT serves every network of this computer\n"
    "  --token-file FILE      the token every request must carry, from the first line of FILE\n"
    "                         (16 to 128 of A-Z a-z 0-9 . _ ~ -); or in the environment variable\n"
    "                         KMCONSOLE_WEB_TOKEN; a random one is made when none is given\n"
    "  --token TOKEN          the same on the command line, where every user of this computer\n"
    "                         can read it in the process list\n"
    "  --header-timeout MS    how long a request's head may take to arrive (default 5000)\n"
    "and how it joins the mesh (handle name default web):\n";

struct WebOptions {
    std::string address = "127.0.0.1";
    int webPort = 51080;
    std::optional<std::string> token, tokenFile;
    web::ServerLimits limits;
    MeshOptions mesh{"web"};
};

bool TokenUsable(const std::string& token)
{
    return token.size() >= 16 && token.size() <= 128 &&
           token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._~-") ==
               std::string::npos;
}

const char kTokenRule[] = "16 to 128 of the characters A-Z a-z 0-9 . _ ~ -";

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
            if (!port || !web::IsDottedQuad(v.substr(0, colon)))
                return "--listen wants ADDRESS:PORT with an IPv4 address, e.g. 0.0.0.0:51080";
            o.address = v.substr(0, colon);
            o.webPort = *port;
        } else if (a == "--token") {
            if (!TokenUsable(v))
                return std::string("--token wants ") + kTokenRule;
            o.token = v;
        } else if (a == "--token-file") {
            o.tokenFile = v;
        } else if (a == "--header-timeout") {
            const long ms = v.size() <= 5 && v.find_first_not_of("0123456789") == std::string::npos && !v.empty()
                                ? std::atol(v.c_str())
                                : 0;
            if (ms < 100 || ms > 60000)
                return "--header-timeout wants milliseconds from 100 to 60000";
            o.limits.headMs = static_cast<std::uint64_t>(ms);
        } else {
            return std::string();
        }
    }
    if (o.token && o.tokenFile)
        return "give --token or --token-file, not both";
    return std::nullopt;
}

// The token from the file, the environment or a random one; nothing with the reason on stderr
// when the one given is unusable.
std::optional<std::string> ChooseToken(const WebOptions& o, const std::function<std::string()>& random)
{
    if (o.token) {
        std::fputs("kmconsole web: note: a token given with --token can be read by every user of this computer "
                   "in the process list; --token-file or KMCONSOLE_WEB_TOKEN keep it private\n",
                   stderr);
        std::fflush(stderr);  // the Windows runtime buffers stderr when it is a file or a pipe
        return o.token;
    }
    std::string token;
    std::string source;
    if (o.tokenFile) {
        std::ifstream file(*o.tokenFile, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "kmconsole web: cannot read the token file %s\n", o.tokenFile->c_str());
            return std::nullopt;
        }
        char line[256] = {};
        file.getline(line, sizeof line);
        token = line;
        source = "the token file " + *o.tokenFile;
    } else if (const char* value = std::getenv(kTokenVariable)) {
        token = value;
        source = kTokenVariable;
    } else {
        return random();
    }
    while (!token.empty() && (token.back() == '\r' || token.back() == ' ' || token.back() == '\t'))
        token.pop_back();
    if (!TokenUsable(token)) {
        std::fprintf(stderr, "kmconsole web: %s must hold %s\n", source.c_str(), kTokenRule);
        return std::nullopt;
    }
    return token;
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
    const auto token = ChooseToken(o, RandomHex);
    if (!token)
        return 2;

    kiv::mesh::SystemMeshBackend backend;
    kiv::TKestrelMesh kms(backend);
    ApplyMeshOptions(o.mesh, backend, kms);
    kms.SetFTPPortNo(0);

    web::WebConsole console(*token, o.mesh.menuDisc, RandomHex, WebAssets());
    web::WebServer server(console, o.limits);
    using C = web::WebConsole;
    // Who sent it: the names in its fields and the address its datagram came from.
    const auto from = [&kms](const std::string& machine, const std::string& disc) {
        return web::Sender{machine, disc, kms.ReceivedAddress()};
    };
    kms.OnInputSelect = [&](auto& msg, auto& list, auto& ret, auto& tag, auto&, auto& m, auto& d) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnInputSelect(from(m, d), tag, msg, list, ret); });
    };
    kms.OnInputLine = [&](auto& msg, auto& label, auto& tag, auto&, auto& m, auto& d, bool password) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnInputLine(from(m, d), tag, msg, label, password); });
    };
    kms.OnInputText = [&](auto& msg, auto& tag, auto&, auto& m, auto& d) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnInputLine(from(m, d), tag, msg, "", false); });
    };
    kms.OnInputMessage = [&](auto& msg, auto&, auto& m, auto& d, auto&) {
        server.WithConsole([&](C& c, std::uint64_t now) { c.OnInputMessage(from(m, d), msg, now); });
    };
    kms.OnMenuNothing = [&](auto&, auto& m, auto& d) {
        server.WithConsole([&](C& c, std::uint64_t) { c.OnMenuNothing(from(m, d)); });
    };
    // Where each peer's announcement came from: its answers must come from there too. A peer
    // that announces itself again unchanged raises nothing, so the first source stays.
    std::map<std::pair<std::string, std::string>, std::string> sources;
    kms.OnLogin = [&](const kiv::PeerInfo& p) { sources[{p.MachineName, p.Discrimination}] = p.Source; };
    kms.OnInfoChange = [&](const kiv::PeerInfo& p) { sources[{p.MachineName, p.Discrimination}] = p.Source; };

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
    // The token goes in the fragment: the browser never sends that part of a link anywhere.
    std::printf("open this link in the browser (the page keeps the token for this tab only):\n%s/#token=%s\n",
                base.c_str(), token->c_str());
    std::fflush(stdout);

    CatchStopSignals();
    std::vector<web::PeerInfo> peers;
    std::vector<web::Outgoing> outgoing;
    while (!StopRequested()) {
        backend.RunOnce(50);
        peers.clear();
        for (int i = 0; i < kms.LoginCount(); ++i) {
            // Only what the list can show is copied: a hostile peer's long texts stay in the table.
            const auto& p = kms.LoginUser(i);
            if (p.Menu && p.Discrimination == o.mesh.menuDisc && p.MachineName.size() <= web::kMaxNameBytes) {
                const auto source = sources.find({p.MachineName, p.Discrimination});
                peers.push_back({p.MachineName, p.Discrimination, web::BoundText(p.HandleName, web::kMaxNameBytes),
                                 p.IPAddress, true, source == sources.end() ? std::string() : source->second});
            }
        }
        // Sources of peers the table no longer holds go.
        if (sources.size() > static_cast<std::size_t>(kms.LoginCount()))
            for (auto it = sources.begin(); it != sources.end();) {
                bool listed = false;
                for (int i = 0; i < kms.LoginCount() && !listed; ++i)
                    listed = kms.LoginUser(i).MachineName == it->first.first &&
                             kms.LoginUser(i).Discrimination == it->first.second;
                it = listed ? std::next(it) : sources.erase(it);
            }
        server.WithConsole([&](C& c, std::uint64_t now) {
            c.SyncPeers(peers);
            c.Tick(now);
            outgoing = c.TakeOutgoing();
        });
        // To the address and kind of the Kiv the user chose, not to whoever else uses its name.
        for (const auto& out : outgoing) {
            if (out.kind == web::Outgoing::Kind::MenuCheck)
                kms.SendMenuCheck(out.address, out.discrimination);
            else
                kms.SendInputReturn(out.tag, out.value, out.address, out.discrimination);
        }
    }
    server.Stop();
    kms.Stop();
    std::printf("kmconsole web: logged out\n");
    return 0;
}

}  // namespace kmconsole
