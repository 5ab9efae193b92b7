// HTTP as the web console speaks it, apart from sockets: a request read from a connection's
// bytes with its head bounded (size, number of fields) before anything is stored, so that the
// console can refuse it before any of its body is read; and the bytes of every answer, each
// with the same security headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kmconsole::web {

inline constexpr std::size_t kMaxHeadBytes = 8192;   // request line and header fields
inline constexpr std::size_t kMaxHeadFields = 40;
inline constexpr std::size_t kMaxQueryParams = 8;
inline constexpr std::size_t kMaxBodyBytes = 4096;

struct Request {
    std::string method, path;
    std::map<std::string, std::string> query;    // decoded; the first of repeated names counts
    std::map<std::string, std::string> headers;  // the few the console reads, names in lower case
    std::string body;
    std::string client;     // the address the request came from
    std::string local;      // the address of this computer it came to
    int localPort = 0;
    bool keepAlive = true;  // as its version and Connection header ask
};

struct Response {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // A state request with nothing new yet: the server waits until the console's version
    // passes waitSince or its time is up, then answers with the state of session.
    std::optional<std::uint64_t> waitSince;
    std::string session;
    bool close = false;  // the connection ends after this answer
};

// {"error": code, "reason": reason} with the status.
Response ErrorResponse(int status, const std::string& code, const std::string& reason);

// The bytes of an answer: status line, the security headers, the answer's own, its length,
// and its body unless it answers a HEAD request.
std::string FormatResponse(const Response& response, bool headRequest);

// Reads one request at a time from the bytes of a connection. The head is parsed once it is
// whole and no longer than kMaxHeadBytes, with at most kMaxHeadFields fields; only the header
// fields the console reads are kept. Then the reader stops (HeadDone) until ReadBody is called,
// and takes a body of at most kMaxBodyBytes given by Content-Length.
class RequestReader {
public:
    enum class State { Head, HeadDone, Body, Done, Failed };

    RequestReader();
    ~RequestReader();
    RequestReader(const RequestReader&) = delete;
    RequestReader& operator=(const RequestReader&) = delete;

    // Takes bytes of the connection and reads as far as the state allows. Bytes beyond the
    // request are kept for the next one; fails when more are kept than a request may hold.
    void Feed(std::string_view bytes);
    // After HeadDone: goes on with the body.
    void ReadBody();
    // After Done: the next request of the connection, from the bytes already kept.
    void Next();

    State state() const { return state_; }
    bool GotSome() const { return !pending_.empty() || state_ != State::Head; }
    Request& request() { return request_; }
    // Why it failed: the status to answer and a reason.
    int failStatus() const { return failStatus_; }
    const std::string& failReason() const { return failReason_; }

private:
    class Parser;
    void Parse();
    void Fail(int status, const std::string& reason);

    std::unique_ptr<Parser> parser_;
    Request request_;
    std::string pending_;
    State state_ = State::Head;
    int failStatus_ = 0;
    std::string failReason_;
};

}  // namespace kmconsole::web
