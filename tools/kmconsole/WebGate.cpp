#include "WebGate.h"

#include <algorithm>
#include <iterator>

namespace kmconsole::web {

bool TokenGate::Matches(const std::string& given) const
{
    // Every byte compared whatever the first difference, so timing tells nothing.
    if (given.size() != token_.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < given.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ token_[i]);
    return diff == 0;
}

TokenGate::Verdict TokenGate::Check(const std::string& client, const std::string& given, std::uint64_t nowMs)
{
    const auto it = full_.find(client);
    const std::uint64_t full = it == full_.end() ? nowMs : std::max(it->second, nowMs);
    if (full - nowMs > (kTokenTries - 1) * kTokenRetryMs)
        return Verdict::Limited;
    if (Matches(given))
        return Verdict::Pass;
    Remember(client, full + kTokenRetryMs, nowMs);
    return Verdict::Wrong;
}

std::uint64_t TokenGate::WaitMs(const std::string& client, std::uint64_t nowMs) const
{
    const auto it = full_.find(client);
    if (it == full_.end() || it->second <= nowMs)
        return 0;
    const std::uint64_t left = it->second - nowMs;
    const std::uint64_t allowed = (kTokenTries - 1) * kTokenRetryMs;
    return left > allowed ? left - allowed : 0;
}

void TokenGate::Remember(const std::string& client, std::uint64_t until, std::uint64_t nowMs)
{
    if (!full_.count(client) && full_.size() >= kTokenTrackedAddresses) {
        for (auto it = full_.begin(); it != full_.end();)
            it = it->second <= nowMs ? full_.erase(it) : std::next(it);
        if (full_.size() >= kTokenTrackedAddresses)
            full_.erase(std::min_element(full_.begin(), full_.end(),
                                         [](const auto& a, const auto& b) { return a.second < b.second; }));
    }
    full_[client] = until;
}

bool IsDottedQuad(const std::string& text)
{
    int parts = 0;
    std::size_t pos = 0;
    for (;;) {
        const auto dot = text.find('.', pos);
        const std::string part = text.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(part) > 255 || ++parts > 4)
            return false;
        if (dot == std::string::npos)
            return parts == 4;
        pos = dot + 1;
    }
}

bool HostMatches(const std::string& host, const std::string& local, int port)
{
    std::string name = host;
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const std::string withPort = ":" + std::to_string(port);
    const bool loopback = local.rfind("127.", 0) == 0;
    return name == local + withPort || (port == 80 && name == local) ||
           (loopback && (name == "localhost" + withPort || (port == 80 && name == "localhost")));
}

}  // namespace kmconsole::web
