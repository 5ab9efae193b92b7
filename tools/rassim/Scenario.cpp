#include "Scenario.h"

#include <cstdlib>
#include <sstream>

namespace rassim {

const char* const kDemoScenario =
    "# Demo phonebook of the rasapi32 simulator\n"
    "[東京アクセスポイント]\n"
    "phone = 03-5555-0101\n"
    "user = kiv@example.jp\n"
    "dial = connect 3000\n"
    "hangup = 500\n"
    "\n"
    "[大阪 ISDN]\n"
    "phone = 06-5555-0202\n"
    "dial = fail 678 2000\n"
    "hangup = 300\n"
    "\n"
    "[Office VPN]\n"
    "phone = vpn.example.com\n"
    "dial = connect 1500\n"
    "hangup = 200\n";

const Entry* Scenario::Find(const std::string& name) const
{
    for (const Entry& e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

namespace {

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

std::vector<std::string> Words(const std::string& s)
{
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

bool Number(const std::string& s, std::uint32_t& value)
{
    if (s.empty() || s.size() > 9)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    value = static_cast<std::uint32_t>(std::strtoul(s.c_str(), nullptr, 10));
    return true;
}

// Reads "dial = ..."; an empty result means success.
std::string ParseDial(const std::vector<std::string>& w, Entry& e)
{
    if (w.empty())
        return "dial needs connect, fail or refuse";
    if (w[0] == "connect") {
        e.dialHeld = w.size() == 2 && w[1] == "held";
        if (w.size() != 2 || (!e.dialHeld && !Number(w[1], e.dialMs)))
            return "expected: dial = connect <ms> | held";
        e.dial = Entry::Dial::Connect;
        return {};
    }
    if (w[0] == "fail") {
        if (w.size() != 3 || !Number(w[1], e.dialError) || !Number(w[2], e.dialMs) || e.dialError == 0)
            return "expected: dial = fail <error code> <ms>";
        e.dial = Entry::Dial::Fail;
        return {};
    }
    if (w[0] == "refuse") {
        const bool sizeOk = w.size() == 2 || (w.size() == 3 && w[2] == "handle");
        if (!sizeOk || !Number(w[1], e.dialError) || e.dialError == 0)
            return "expected: dial = refuse <error code> [handle]";
        e.dial = Entry::Dial::Refuse;
        e.refuseWithHandle = w.size() == 3;
        return {};
    }
    return "unknown dial outcome '" + w[0] + "' (connect, fail or refuse)";
}

}  // namespace

std::optional<Scenario> ParseScenario(const std::string& text, std::string& error)
{
    Scenario scenario;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    const auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNo) + ": " + what;
        return std::nullopt;
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']')
                return fail("an entry header is [name] with a name of 1 to 256 bytes");
            const std::string name = line.substr(1, line.size() - 2);
            if (name.size() > 256)
                return fail("entry name longer than 256 bytes");
            if (scenario.Find(name))
                return fail("entry [" + name + "] given twice");
            scenario.entries.push_back(Entry{});
            scenario.entries.back().name = name;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("expected [name] or key = value");
        if (scenario.entries.empty())
            return fail("key before the first [entry]");
        Entry& e = scenario.entries.back();
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        const std::vector<std::string> w = Words(value);
        if (key == "phone") {
            e.phone = value.substr(0, 128);
        } else if (key == "user") {
            e.user = value.substr(0, 256);
        } else if (key == "password") {
            e.password = value.substr(0, 256);
        } else if (key == "dial") {
            if (std::string what = ParseDial(w, e); !what.empty())
                return fail(what);
        } else if (key == "params") {
            if (w.size() != 2 || w[0] != "fail" || !Number(w[1], e.paramsError) || e.paramsError == 0)
                return fail("expected: params = fail <error code>");
        } else if (key == "hangup") {
            std::uint32_t ms = 0;
            if (w.size() == 1 && w[0] == "never")
                e.hangUpMs.reset();
            else if (w.size() == 1 && Number(w[0], ms))
                e.hangUpMs = ms;
            else
                return fail("expected: hangup = <ms> or hangup = never");
        } else if (key == "cancel") {
            if (w.size() != 1 || (w[0] != "notify" && w[0] != "silent"))
                return fail("expected: cancel = notify or cancel = silent");
            e.notifyOnCancel = w[0] == "notify";
        } else {
            return fail("unknown key '" + key + "'");
        }
    }
    return scenario;
}

}  // namespace rassim
