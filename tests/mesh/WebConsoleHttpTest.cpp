// The web console's HTTP reading and writing, apart from sockets: a request's head is read
// whole and bounded before anything of it is kept, the reader stops before the body until it is
// let through, and every answer carries the same security headers.
#include "WebRequest.h"

#include <gtest/gtest.h>

namespace kmconsole::web {
namespace {

using State = RequestReader::State;

bool HasHeader(const std::string& response, const std::string& line)
{
    return response.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(WebRequestReader, ReadsTheHeadAndWaitsWithTheBodyUntilItIsLetThrough)
{
    RequestReader reader;
    const std::string head =
        "POST /api/open?since=5&x=%41%2f+b&since=6 HTTP/1.1\r\nHost: 127.0.0.1:51080\r\nX-Kiv-Token: tok\r\n"
        "Content-Type: application/json\r\nContent-Length: 12\r\nCookie: a=b\r\nX-Other: y\r\n\r\n";
    // Any cut of the bytes gives the same request.
    for (std::size_t i = 0; i < head.size(); ++i) {
        reader.Feed(head.substr(i, 1));
        if (i + 1 < head.size()) {
            ASSERT_EQ(reader.state(), State::Head) << i;
        }
    }
    ASSERT_EQ(reader.state(), State::HeadDone);
    Request& r = reader.request();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/api/open");
    EXPECT_EQ(r.query.at("since"), "5");
    EXPECT_EQ(r.query.at("x"), "A/ b");
    EXPECT_EQ(r.headers.size(), 4u) << "only the fields the console reads are kept";
    EXPECT_EQ(r.headers.at("x-kiv-token"), "tok");
    EXPECT_EQ(r.headers.at("host"), "127.0.0.1:51080");
    EXPECT_TRUE(r.keepAlive);

    reader.Feed(R"({"kiv":"k1"})");
    reader.Feed("GET / HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(reader.state(), State::HeadDone) << "nothing of the body is read before ReadBody";
    EXPECT_TRUE(reader.request().body.empty());
    reader.ReadBody();
    ASSERT_EQ(reader.state(), State::Done);
    EXPECT_EQ(reader.request().body, R"({"kiv":"k1"})");

    // The next request of the connection was already sent.
    reader.Next();
    ASSERT_EQ(reader.state(), State::HeadDone);
    EXPECT_EQ(reader.request().method, "GET");
    EXPECT_EQ(reader.request().path, "/");
    reader.ReadBody();
    EXPECT_EQ(reader.state(), State::Done);
}

TEST(WebRequestReader, RefusesWhatNoBrowserSendsWithAStatus)
{
    std::string manyFields = "GET / HTTP/1.1\r\n";
    for (std::size_t i = 0; i <= kMaxHeadFields; ++i)
        manyFields += "X-" + std::to_string(i) + ": 1\r\n";
    std::string manyParams = "GET /?";
    for (std::size_t i = 0; i <= kMaxQueryParams; ++i)
        manyParams += "p" + std::to_string(i) + "=1&";
    struct Case {
        const char* what;
        std::string bytes;
        int status;
    } cases[] = {
        {"a head larger than allowed", "GET /" + std::string(kMaxHeadBytes, 'a') + " HTTP/1.1\r\n\r\n", 431},
        {"too many header fields", manyFields + "\r\n", 431},
        {"a body larger than allowed",
         "POST /api/open HTTP/1.1\r\nContent-Length: " + std::to_string(kMaxBodyBytes + 1) + "\r\n\r\n", 413},
        {"another version", "GET / HTTP/2.0\r\n\r\n", 505},
        {"no version", "GET /\r\n\r\n", 400},
        {"a target that is no path", "GET http://evil.example/ HTTP/1.1\r\n\r\n", 400},
        {"too many parameters", manyParams + " HTTP/1.1\r\n\r\n", 400},
        {"a broken escape", "GET /?a=%4 HTTP/1.1\r\n\r\n", 400},
        {"the token twice", "GET / HTTP/1.1\r\nX-Kiv-Token: a\r\nx-kiv-token: b\r\n\r\n", 400},
        {"the host twice", "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
        {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        {"a length that is none", "POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n", 400},
        {"a field without a colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", 400},
    };
    for (const auto& c : cases) {
        RequestReader reader;
        reader.Feed(c.bytes);
        EXPECT_EQ(reader.state(), State::Failed) << c.what;
        EXPECT_EQ(reader.failStatus(), c.status) << c.what << ": " << reader.failReason();
        EXPECT_FALSE(reader.failReason().empty()) << c.what;
    }
}

TEST(WebRequestReader, AnEndlessHeadFailsBeforeMoreThanAHeadIsKept)
{
    // One header line that never ends, and lines that never stop, fed as a socket gives them.
    for (const std::string& unit : {std::string(1024, 'x'), "X-Filler: " + std::string(1012, 'y') + "\r\n"}) {
        RequestReader reader;
        reader.Feed("GET / HTTP/1.1\r\nX-Long: ");
        std::size_t fed = 0;
        while (reader.state() == State::Head && fed < 48u * 1024 * 1024) {
            reader.Feed(unit);
            fed += unit.size();
        }
        EXPECT_EQ(reader.state(), State::Failed);
        EXPECT_EQ(reader.failStatus(), 431);
        EXPECT_LE(fed, kMaxHeadBytes + unit.size());
    }
}

TEST(WebRequestReader, KeepsTheTransferCodingForTheConsoleToRefuse)
{
    RequestReader reader;
    reader.Feed("POST /api/open HTTP/1.1\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"
                "ffffffff\r\n");
    ASSERT_EQ(reader.state(), State::HeadDone);
    EXPECT_EQ(reader.request().headers.at("transfer-encoding"), "gzip, chunked");
    EXPECT_TRUE(reader.request().body.empty());
}

TEST(WebRequestReader, TellsWhetherTheConnectionMayBeKept)
{
    const struct {
        std::string head;
        bool keep;
    } cases[] = {
        {"GET / HTTP/1.1\r\n\r\n", true},
        {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", false},
        {"GET / HTTP/1.0\r\n\r\n", false},
        {"GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", true},
    };
    for (const auto& c : cases) {
        RequestReader reader;
        reader.Feed(c.head);
        ASSERT_EQ(reader.state(), State::HeadDone) << c.head;
        EXPECT_EQ(reader.request().keepAlive, c.keep) << c.head;
    }
}

TEST(WebResponse, EveryAnswerCarriesTheSecurityHeaders)
{
    Response ok;
    ok.body = "{}";
    ok.headers.push_back({"Allow", "GET"});
    Response refused = ErrorResponse(431, "http", "the request's header is too large");
    refused.close = true;
    for (const Response& r : {ok, refused}) {
        const std::string text = FormatResponse(r, false);
        for (const char* line :
             {"Cache-Control: no-store", "X-Content-Type-Options: nosniff", "Referrer-Policy: no-referrer",
              "X-Frame-Options: DENY", "Cross-Origin-Resource-Policy: same-origin"})
            EXPECT_TRUE(HasHeader(text, line)) << line << "\n" << text;
        EXPECT_NE(text.find("\r\nContent-Security-Policy: default-src 'none';"), std::string::npos);
        EXPECT_TRUE(HasHeader(text, "Content-Length: " + std::to_string(r.body.size())));
        EXPECT_EQ(text.substr(text.size() - r.body.size()), r.body);
        EXPECT_EQ(text.find("Access-Control-"), std::string::npos);
    }
    EXPECT_EQ(FormatResponse(refused, false).rfind("HTTP/1.1 431 Request Header Fields Too Large\r\n", 0), 0u);
    EXPECT_TRUE(HasHeader(FormatResponse(refused, false), "Connection: close"));
    EXPECT_TRUE(HasHeader(FormatResponse(ok, false), "Allow: GET"));
    const std::string head = FormatResponse(ok, true);
    EXPECT_TRUE(HasHeader(head, "Content-Length: 2"));
    EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n") << "a HEAD answer has no body";
}

}  // namespace
}  // namespace kmconsole::web
