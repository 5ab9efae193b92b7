// Built without the Shift-JIS execution character set: Boost's headers pull in <chrono>, and
// this file holds no text of the system.
#include "WebRequest.h"

#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

#include "WebJson.h"

namespace kmconsole::web {
namespace {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

// The header fields the console reads; every other one is counted and dropped.
const char* const kKeptFields[] = {"host",           "content-type",     "content-length", "transfer-encoding",
                                   "content-encoding", "x-kiv-token",    "x-kiv-session"};
// Fields that may be given as a list over several lines; any other one given twice is refused.
bool IsListField(const std::string& name)
{
    return name == "transfer-encoding" || name == "content-encoding";
}

const char* StatusText(int status)
{
    switch (status) {
    case 200: return "OK";
    case 202: return "Accepted";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 415: return "Unsupported Media Type";
    case 421: return "Misdirected Request";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Internal Server Error";
    }
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> PercentDecoded(string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i] == '+' ? ' ' : text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

}  // namespace

// Beast's parser, with the request's parts going straight to the Request: the head's fields are
// counted, and only those the console reads are stored.
class RequestReader::Parser : public http::basic_parser<true> {
public:
    explicit Parser(Request& request) : request_(request)
    {
        header_limit(static_cast<std::uint32_t>(kMaxHeadBytes));
        body_limit(static_cast<std::uint64_t>(kMaxBodyBytes));
        eager(false);
    }
    std::string problem;  // our own reason for an error set in a callback

private:
    void on_request_impl(http::verb, string_view method, string_view target, int, error_code& ec) override
    {
        request_.method = std::string(method);
        const auto mark = target.find('?');
        request_.path = std::string(target.substr(0, mark));
        if (request_.path.empty() || request_.path[0] != '/') {
            problem = "the request's target must be a path";
            ec = http::error::bad_target;
            return;
        }
        if (mark == string_view::npos)
            return;
        string_view query = target.substr(mark + 1);
        std::size_t count = 0;
        while (!query.empty()) {
            const auto amp = query.find('&');
            const string_view part = query.substr(0, amp);
            query = amp == string_view::npos ? string_view() : query.substr(amp + 1);
            if (part.empty())
                continue;
            if (++count > kMaxQueryParams) {
                problem = "the request's target has too many parameters";
                ec = http::error::bad_target;
                return;
            }
            const auto eq = part.find('=');
            const auto name = PercentDecoded(part.substr(0, eq));
            const auto value = PercentDecoded(eq == string_view::npos ? string_view() : part.substr(eq + 1));
            if (!name || !value) {
                problem = "the request's target has a broken % escape";
                ec = http::error::bad_target;
                return;
            }
            request_.query.emplace(*name, *value);
        }
    }

    void on_response_impl(int, string_view, int, error_code& ec) override { ec = http::error::bad_version; }

    void on_field_impl(http::field, string_view nameText, string_view value, error_code& ec) override
    {
        if (++fields_ > kMaxHeadFields) {
            problem = "the request has more than " + std::to_string(kMaxHeadFields) + " header fields";
            ec = http::error::header_limit;
            return;
        }
        std::string name(nameText);
        for (char& c : name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        bool kept = false;
        for (const char* k : kKeptFields)
            kept = kept || name == k;
        if (!kept)
            return;
        const auto [it, added] = request_.headers.emplace(name, std::string(value));
        if (added)
            return;
        if (!IsListField(name)) {
            problem = "the header field " + name + " is given twice";
            ec = http::error::bad_field;
            return;
        }
        it->second += ", " + std::string(value);
    }

    void on_header_impl(error_code&) override {}

    void on_body_init_impl(const boost::optional<std::uint64_t>& length, error_code&) override
    {
        if (length)
            request_.body.reserve(static_cast<std::size_t>(*length));
    }

    std::size_t on_body_impl(string_view body, error_code& ec) override
    {
        if (request_.body.size() + body.size() > kMaxBodyBytes) {
            ec = http::error::body_limit;
            return 0;
        }
        request_.body.append(body.data(), body.size());
        return body.size();
    }

    // A chunked body is refused before it is read; these only keep the parser whole.
    void on_chunk_header_impl(std::uint64_t, string_view, error_code& ec) override
    {
        ec = http::error::bad_transfer_encoding;
    }
    std::size_t on_chunk_body_impl(std::uint64_t, string_view, error_code& ec) override
    {
        ec = http::error::bad_transfer_encoding;
        return 0;
    }

    void on_finish_impl(error_code&) override {}

    Request& request_;
    std::size_t fields_ = 0;
};

RequestReader::RequestReader() : parser_(std::make_unique<Parser>(request_)) {}

RequestReader::~RequestReader() = default;

void RequestReader::Feed(std::string_view bytes)
{
    if (state_ == State::Failed)
        return;
    pending_.append(bytes.data(), bytes.size());
    // What a request may hold, its head and its body: more than that ahead of our answer is
    // not a browser's doing.
    if (pending_.size() > kMaxHeadBytes + kMaxBodyBytes) {
        Fail(state_ == State::Head ? 431 : 400, state_ == State::Head
                                                    ? "the request's header is too large"
                                                    : "too much was sent before the answer");
        return;
    }
    Parse();
}

void RequestReader::ReadBody()
{
    if (state_ != State::HeadDone)
        return;
    state_ = parser_->is_done() ? State::Done : State::Body;
    Parse();
}

void RequestReader::Next()
{
    if (state_ != State::Done)
        return;
    request_ = Request{};
    parser_ = std::make_unique<Parser>(request_);
    state_ = State::Head;
    Parse();
}

void RequestReader::Parse()
{
    while ((state_ == State::Head || state_ == State::Body) && !pending_.empty()) {
        error_code ec;
        const std::size_t used = parser_->put(boost::asio::buffer(pending_.data(), pending_.size()), ec);
        pending_.erase(0, used);
        if (ec == http::error::need_more)
            return;
        if (ec) {
            int status = 400;
            if (ec == http::error::header_limit)
                status = 431;
            else if (ec == http::error::body_limit)
                status = 413;
            else if (ec == http::error::bad_version)
                status = 505;
            Fail(status, parser_->problem.empty() ? ec.message() : parser_->problem);
            return;
        }
        if (state_ == State::Head && parser_->is_header_done()) {
            request_.keepAlive = parser_->keep_alive();
            state_ = State::HeadDone;
            return;
        }
        if (state_ == State::Body && parser_->is_done()) {
            state_ = State::Done;
            return;
        }
        if (used == 0)
            return;
    }
}

void RequestReader::Fail(int status, const std::string& reason)
{
    state_ = State::Failed;
    failStatus_ = status;
    failReason_ = reason;
    pending_.clear();
    pending_.shrink_to_fit();
}

Response ErrorResponse(int status, const std::string& code, const std::string& reason)
{
    Response r;
    r.status = status;
    r.body = "{\"error\":" + JsonString(code) + ",\"reason\":" + JsonString(reason) + "}";
    return r;
}

std::string FormatResponse(const Response& response, bool headRequest)
{
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + StatusText(response.status) + "\r\n";
    const auto add = [&out](const std::string& name, const std::string& value) {
        out += name + ": " + value + "\r\n";
    };
    add("Content-Type", response.contentType);
    add("Content-Length", std::to_string(response.body.size()));
    add("Cache-Control", "no-store");
    add("X-Content-Type-Options", "nosniff");
    add("Referrer-Policy", "no-referrer");
    add("X-Frame-Options", "DENY");
    add("Cross-Origin-Resource-Policy", "same-origin");
    add("Content-Security-Policy",
        "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
        "form-action 'none'; frame-ancestors 'none'; base-uri 'none'");
    for (const auto& [name, value] : response.headers)
        add(name, value);
    if (response.close)
        add("Connection", "close");
    out += "\r\n";
    if (!headRequest)
        out += response.body;
    return out;
}

}  // namespace kmconsole::web
