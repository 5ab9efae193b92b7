#include "ConsoleOptions.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "Console.h"

namespace kmconsole {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

}  // namespace

std::optional<int> ParsePort(const std::string& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int n = std::atoi(text.c_str());
    return n >= 1 && n <= 65535 ? std::optional<int>(n) : std::nullopt;
}

namespace {

const char kMeshOptionsUsage[] =
    "  --handle NAME          handle name to log in under\n"
    "  --disc NAME            own discrimination (default KMC)\n"
    "  --machine NAME         computer name to announce (default: the host name)\n"
    "  --address IP           address to announce (default: the host name's address)\n"
    "  --port N               KestrelMesh UDP port (default 51000)\n"
    "  --broadcast LIST       extra destination addresses, separated by &|\n"
    "  --security             scramble outgoing messages\n"
    "  --menu-disc NAME       discrimination of the programs offering a menu (default Kiv)\n";

}  // namespace

int UsageError(const char* program, const std::string& problem, const char* usage, const char* after)
{
    if (!problem.empty())
        std::fprintf(stderr, "%s: %s\n", program, problem.c_str());
    std::fputs(usage, stderr);
    std::fputs(kMeshOptionsUsage, stderr);
    std::fputs(after, stderr);
    return 2;
}

bool ParseMeshFlag(const std::string& name, MeshOptions& o)
{
    if (name != "--security")
        return false;
    o.security = true;
    return true;
}

std::optional<std::string> ParseMeshOption(const std::string& name, const std::string& value, MeshOptions& o)
{
    if (name == "--handle") {
        o.handle = Utf8ToSjis(value);
    } else if (name == "--disc") {
        o.disc = value;
    } else if (name == "--machine") {
        o.machine = value;
    } else if (name == "--address") {
        o.address = value;
    } else if (name == "--port") {
        const auto port = ParsePort(value);
        if (!port)
            return "--port wants a number from 1 to 65535";
        o.port = *port;
    } else if (name == "--broadcast") {
        o.broadcast = value;
    } else if (name == "--menu-disc") {
        o.menuDisc = value;
    } else {
        return std::nullopt;
    }
    return std::string();
}

void ApplyMeshOptions(const MeshOptions& o, kiv::mesh::HostMeshBackend& backend, kiv::TKestrelMesh& kms)
{
    if (o.machine)
        backend.AnnounceComputerName(*o.machine);
    if (o.address)
        backend.AnnounceLocalAddress(*o.address);
    kms.SetDiscrimination(o.disc);
    kms.SetHandleName(o.handle);
    kms.SetPortNo(o.port);
    kms.SetBroadcastIP(o.broadcast);
    kms.SetSecurity(o.security);
}

void CatchStopSignals()
{
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

bool StopRequested()
{
    return g_stop != 0;
}

}  // namespace kmconsole
