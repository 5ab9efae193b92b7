// Who may use the web console: the token every request to the API carries, compared in
// constant time, with the wrong tries of each client address limited; and the Host header a
// browser sends, which must name the address the request came to, so that a page whose own
// host name was made to resolve to this computer (DNS rebinding) is not served.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace kmconsole::web {

// An address may try this many wrong tokens at once, then one more every kTokenRetryMs.
inline constexpr int kTokenTries = 10;
inline constexpr std::uint64_t kTokenRetryMs = 3000;
// Addresses whose tries are remembered; the one whose wait ends first gives way.
inline constexpr std::size_t kTokenTrackedAddresses = 1024;

class TokenGate {
public:
    explicit TokenGate(std::string token) : token_(std::move(token)) {}

    enum class Verdict { Pass, Wrong, Limited };
    // Limited: the address has used up its tries; the token is not even compared.
    Verdict Check(const std::string& client, const std::string& given, std::uint64_t nowMs);
    // After Limited: how long until the address may try again.
    std::uint64_t WaitMs(const std::string& client, std::uint64_t nowMs) const;

private:
    bool Matches(const std::string& given) const;
    void Remember(const std::string& client, std::uint64_t until, std::uint64_t nowMs);

    std::string token_;
    // Per address: when its tries are all back (each wrong try pushes it kTokenRetryMs on).
    std::map<std::string, std::uint64_t> full_;
};

// True when the text is an IPv4 address in dotted form (four numbers 0 to 255).
bool IsDottedQuad(const std::string& text);

// True when a Host header names the address the request came to (local, dotted) with its port,
// or "localhost" with the port when that address is a loopback one.
bool HostMatches(const std::string& host, const std::string& local, int port);

}  // namespace kmconsole::web
