// The web console's decisions: the request checks a browser, or anyone else who reaches the
// port, goes through; each session's dialogue with a Kiv; and the console's lock among its
// own sessions. Literals are Shift-JIS (the wire's form); UTF-8 is spelled with u8.
#include "WebConsole.h"
#include "WebJson.h"

#include <gtest/gtest.h>

namespace kmconsole::web {
namespace {

std::string U8(const char8_t* text)
{
    return reinterpret_cast<const char*>(text);
}

const char kToken[] = "tok-0123456789abcdef";
const unsigned char kPage[] = "<meta content=\"@TOKEN@\">";

// A console that has seen one Kiv (KIVPC) and a program of another kind, with a session.
class WebConsoleTest : public ::testing::Test {
protected:
    WebConsoleTest()
        : console(kToken, "Kiv", [this] { return "5e55" + std::to_string(++serial); },
                  {{"/index.html", "text/html; charset=utf-8", kPage, sizeof kPage - 1}})
    {
        console.SyncPeers({{"KIVPC", "Kiv", "Kiv", "10.0.0.5", true}, {"OTHER", "KMC", "kmconsole", "10.0.0.6", true},
                           {"NOMENU", "Kiv", "Kiv", "10.0.0.7", false}});
        a = NewSession();
        b = NewSession();
    }

    Response Call(const std::string& method, const std::string& path, const std::string& session = {},
                  const std::string& body = {}, std::map<std::string, std::string> headers = {})
    {
        Request r;
        r.method = method;
        r.path = path;
        r.body = body;
        r.headers = std::move(headers);
        if (!r.headers.count("x-kiv-token"))
            r.headers["x-kiv-token"] = kToken;
        if (!session.empty())
            r.headers["x-kiv-session"] = session;
        if (method == "POST" && !r.headers.count("content-type"))
            r.headers["content-type"] = "application/json";
        return console.Handle(r, now);
    }
    std::string NewSession()
    {
        const Response r = Call("POST", "/api/session");
        EXPECT_EQ(r.status, 200);
        const auto parsed = ParseFlatObject(r.body);
        return std::get<std::string>(parsed.object->at("session"));
    }
    int Open(const std::string& session) { return Call("POST", "/api/open", session, R"({"kiv":"k1"})").status; }
    int Answer(const std::string& session, const std::string& fields)
    {
        return Call("POST", "/api/answer", session, R"({"kiv":"k1","prompt":)" + std::to_string(prompt) + "," +
                                                         fields + "}")
            .status;
    }
    std::string State(const std::string& session) { return console.StateJson(session); }
    void Menu(const std::string& status = "切断")
    {
        console.OnInputSelect("KIVPC", "Kiv", "Menu",
                              "【Kiv KestrelMesh Menu】\r\r≪ダイヤルアップ制御≫ 東京\r≪接続状況≫              " + status +
                                  "\r≪自動接続時間≫        7:05\r≪自動切断時間≫        --:--\r\r実行したい項目を選択してください。",
                              "■ 【東京】 へ接続する&:■ 【東京】 から切断する", "Connect&:Deconnect");
        prompt = LastPromptId();
    }
    std::uint64_t LastPromptId()
    {
        const std::string s = State(asker);
        const auto at = s.find("\"prompt\":{\"id\":");
        return at == std::string::npos ? 0 : std::stoull(s.substr(at + 15));
    }
    // Opens the menu for `who` and brings it to the main menu.
    void ToMenu(const std::string& who)
    {
        asker = who;
        ASSERT_EQ(Open(who), 202);
        console.TakeOutgoing();
        Menu();
    }

    std::uint64_t now = 1000;
    int serial = 0;
    WebConsole console;
    std::string a, b, asker;
    std::uint64_t prompt = 0;
};

TEST_F(WebConsoleTest, ListsOnlyThePeersOfferingTheMenuOfTheKindAsked)
{
    const std::string s = State(a);
    EXPECT_NE(s.find(R"("machine":"KIVPC","handle":"Kiv","address":"10.0.0.5","status":null)"), std::string::npos);
    EXPECT_EQ(s.find("OTHER"), std::string::npos);
    EXPECT_EQ(s.find("NOMENU"), std::string::npos);
    const auto before = console.Version();
    console.SyncPeers({});
    EXPECT_GT(console.Version(), before);
    EXPECT_EQ(State(a), R"({"version":)" + std::to_string(console.Version()) + R"(,"kivs":[]})");
}

TEST_F(WebConsoleTest, NamesFromTheWireAreTextInTheJson)
{
    console.SyncPeers({{"<img src=x>", "Kiv", "太郎\"\\", "1.2.3.4", true}});
    const std::string s = State(a);
    EXPECT_NE(s.find(R"("machine":"\u003cimg src=x\u003e")"), std::string::npos) << s;
    EXPECT_NE(s.find(U8(u8"\"handle\":\"太郎\\\"\\\\\"")), std::string::npos) << s;
}

TEST_F(WebConsoleTest, ThePasswordRoadSendsShiftJisAndKeepsNothing)
{
    ASSERT_EQ(Open(a), 202);
    auto out = console.TakeOutgoing();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, Outgoing::Kind::MenuCheck);
    EXPECT_EQ(out[0].machineName, "KIVPC");
    EXPECT_EQ(out[0].discrimination, "Kiv");

    console.OnInputLine("KIVPC", "Kiv", "Password", "【Kiv KestrelMesh Menu】\r\rパスワードを入力してください。",
                        "パスワード", true);
    asker = a;
    prompt = LastPromptId();
    EXPECT_NE(State(a).find(U8(u8"\"message\":\"【Kiv KestrelMesh Menu】\\n\\nパスワードを入力してください。\","
                               u8"\"label\":\"パスワード\",\"password\":true")),
              std::string::npos)
        << State(a);
    EXPECT_EQ(State(b).find("Password"), std::string::npos) << "another session sees the prompt";

    ASSERT_EQ(Answer(a, U8(u8R"("text":"ひみつ")")), 202);
    out = console.TakeOutgoing();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, Outgoing::Kind::InputReturn);
    EXPECT_EQ(out[0].tag, "Password");
    EXPECT_EQ(out[0].value, "ひみつ");
    EXPECT_EQ(State(a).find(U8(u8"ひみつ")), std::string::npos);
    EXPECT_NE(State(a).find(R"("waiting":true)"), std::string::npos);
    EXPECT_EQ(Answer(a, U8(u8R"("text":"ひみつ")")), 409) << "the answered prompt is closed";
}

TEST_F(WebConsoleTest, TheMenuShowsTheStatusBlockAndAChoiceSendsItsReturnValue)
{
    ToMenu(a);
    const std::string s = State(b);
    EXPECT_NE(s.find(U8(u8R"("status":{"target":"東京","state":"切断","start":"7:05","end":"--:--"})")),
              std::string::npos)
        << s;
    EXPECT_NE(State(a).find(U8(u8R"("items":["■ 【東京】 へ接続する","■ 【東京】 から切断する"])")), std::string::npos);
    ASSERT_EQ(Answer(a, R"("choice":1)"), 202);
    const auto out = console.TakeOutgoing();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].tag, "Menu");
    EXPECT_EQ(out[0].value, "Deconnect");
}

TEST_F(WebConsoleTest, ASecondSessionIsRefusedWhileTheFirstOnesDialRuns)
{
    ToMenu(a);
    ASSERT_EQ(Answer(a, R"("choice":0)"), 202);
    console.OnInputMessage("KIVPC", "Kiv",
                           "【Kiv KestrelMesh Message】\r\n\r\n「東京」への接続処理を開始します。\r\n接続処理が完了次第、処理結果を通知します。",
                           now);
    EXPECT_NE(State(a).find(R"("dialing":true)"), std::string::npos);
    EXPECT_NE(State(b).find(R"("locked":true)"), std::string::npos);
    EXPECT_EQ(Open(b), 409);
    EXPECT_NE(Call("POST", "/api/open", b, R"({"kiv":"k1"})").body.find(R"("error":"locked")"), std::string::npos);
    EXPECT_TRUE(console.TakeOutgoing().size() == 1u) << "only the first session's answer went out";

    // The outcome goes to the session whose dial it was, and frees the Kiv.
    console.OnInputMessage("KIVPC", "Kiv", "【Kiv KestrelMesh Message】\r\n\r\n「東京」へ接続しました。", now + 3000);
    EXPECT_NE(State(a).find(U8(u8"「東京」へ接続しました。")), std::string::npos);
    EXPECT_EQ(State(b).find(U8(u8"接続しました")), std::string::npos);
    EXPECT_EQ(Open(b), 202);
}

TEST_F(WebConsoleTest, APromptNobodyAskedForReplacesNothing)
{
    ToMenu(a);
    const std::uint64_t open = prompt;
    console.OnInputLine("KIVPC", "Kiv", "Password", "forged", "x", true);
    console.OnInputSelect("KIVPC", "Kiv", "Menu", "forged", "x", "y");
    EXPECT_EQ(State(a).find("forged"), std::string::npos);
    EXPECT_EQ(Answer(a, R"("choice":0)"), 202) << "the open prompt " << open << " is gone";
}

TEST_F(WebConsoleTest, ARefusedDialTakesNoLock)
{
    ToMenu(a);
    ASSERT_EQ(Answer(a, R"("choice":0)"), 202);
    console.OnInputMessage("KIVPC", "Kiv", "【Kiv KestrelMesh Message】\r\n\r\n「東京」への接続処理に失敗しました。", now);
    EXPECT_EQ(Open(b), 202);
}

TEST_F(WebConsoleTest, OneQuestionAtATimeAndAnUnansweredOneIsGivenUp)
{
    ASSERT_EQ(Open(a), 202);
    EXPECT_EQ(Open(b), 409);
    EXPECT_NE(State(b).find(R"("busy":true)"), std::string::npos);
    now += kAnswerWaitMs;
    console.Tick(now);
    EXPECT_NE(State(a).find(U8(u8"Kivから応答がありません")), std::string::npos);
    EXPECT_EQ(Open(b), 202);
    // What comes now belongs to the session that asked last.
    console.OnInputMessage("KIVPC", "Kiv", "late", now);
    EXPECT_NE(State(b).find("late"), std::string::npos);
    EXPECT_EQ(State(a).find("late"), std::string::npos);
}

TEST_F(WebConsoleTest, EveryRequestCarriesTheToken)
{
    struct Case {
        const char* what;
        std::string method, path, token;
    } cases[] = {
        {"no header", "POST", "/api/session", ""},
        {"wrong token", "POST", "/api/session", "tok-0123456789abcdeX"},
        {"a prefix", "POST", "/api/session", "tok-0123"},
        {"longer", "POST", "/api/session", std::string(kToken) + "0"},
        {"state", "GET", "/api/state", "nope"},
    };
    for (const auto& c : cases) {
        const Response r = Call(c.method, c.path, a, {}, {{"x-kiv-token", c.token}});
        EXPECT_EQ(r.status, 401) << c.what;
        EXPECT_NE(r.body.find(R"("error":"token")"), std::string::npos) << c.what;
    }
    // A token in the URL is not one.
    Request r;
    r.method = "POST";
    r.path = "/api/session";
    r.query["token"] = kToken;
    EXPECT_EQ(console.Handle(r, now).status, 401);
}

TEST_F(WebConsoleTest, ThePageNeedsTheCookieThatTheLinkSets)
{
    Request page;
    page.method = "GET";
    page.path = "/";
    EXPECT_EQ(console.Handle(page, now).status, 401);
    page.headers["cookie"] = "kiv_token=wrong";
    EXPECT_EQ(console.Handle(page, now).status, 401);

    Request login;
    login.method = "GET";
    login.path = "/login";
    login.query["token"] = "wrong";
    EXPECT_EQ(console.Handle(login, now).status, 401);
    login.query["token"] = kToken;
    const Response in = console.Handle(login, now);
    EXPECT_EQ(in.status, 303);
    const auto has = [&](const std::string& name, const std::string& value) {
        for (const auto& h : in.headers)
            if (h.first == name && h.second == value)
                return true;
        return false;
    };
    EXPECT_TRUE(has("Location", "/"));
    EXPECT_TRUE(has("Set-Cookie", std::string("kiv_token=") + kToken + "; Path=/; HttpOnly; SameSite=Strict"));

    page.headers["cookie"] = std::string("other=1; kiv_token=") + kToken + "; x=y";
    const Response shown = console.Handle(page, now);
    EXPECT_EQ(shown.status, 200);
    EXPECT_EQ(shown.body, std::string("<meta content=\"") + kToken + "\">");
    page.path = "/../index.html";
    EXPECT_EQ(console.Handle(page, now).status, 404);
}

TEST_F(WebConsoleTest, NoCorsAndStateChangesOnlyByPost)
{
    struct Case {
        std::string method, path;
        int status;
    } cases[] = {
        {"GET", "/api/open", 405},     {"GET", "/api/answer", 405}, {"GET", "/api/session", 405},
        {"POST", "/api/state", 405},   {"OPTIONS", "/api/open", 405}, {"PUT", "/api/answer", 405},
        {"POST", "/", 405},            {"DELETE", "/login", 405},  {"POST", "/api/nothing", 404},
    };
    for (const auto& c : cases) {
        const Response r = Call(c.method, c.path, a, R"({"kiv":"k1"})");
        EXPECT_EQ(r.status, c.status) << c.method << " " << c.path;
        for (const auto& h : r.headers)
            EXPECT_EQ(h.first.rfind("Access-Control-", 0), std::string::npos) << h.first;
    }
    // A form post from another site cannot send JSON without asking first.
    EXPECT_EQ(Call("POST", "/api/open", a, R"({"kiv":"k1"})", {{"content-type", "text/plain"}}).status, 415);
    EXPECT_EQ(Call("POST", "/api/open", "", R"({"kiv":"k1"})").status, 403);
    EXPECT_EQ(Call("POST", "/api/open", "0123abc", R"({"kiv":"k1"})").status, 403);
    EXPECT_EQ(Call("POST", "/api/open", "NOT-HEX", R"({"kiv":"k1"})").status, 403);
}

TEST_F(WebConsoleTest, BadAnswersAreRefusedWithAReason)
{
    asker = a;
    ASSERT_EQ(Open(a), 202);
    console.OnInputLine("KIVPC", "Kiv", "Password", "?", "パスワード", true);
    prompt = LastPromptId();
    console.TakeOutgoing();
    const std::string p = std::to_string(prompt);
    struct Case {
        std::string body;
        int status;
        const char* error;
    } cases[] = {
        {"", 400, "json"},
        {"[1]", 400, "json"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":{"a":1}})", 400, "json"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":"x"} x)", 400, "json"},
        {R"({"kiv":"k9","prompt":)" + p + R"(,"text":"x"})", 404, "kiv"},
        {R"({"kiv":1,"prompt":)" + p + R"(,"text":"x"})", 400, "kiv"},
        {R"({"kiv":"k1","text":"x"})", 400, "prompt"},
        {R"({"kiv":"k1","prompt":"1","text":"x"})", 400, "prompt"},
        {R"({"kiv":"k1","prompt":)" + p + "}", 400, "answer"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":"x","choice":0})", 400, "answer"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"choice":0})", 400, "text"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":5})", 400, "text"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":"a&|b"})", 400, "text"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":"a\\|b"})", 400, "text"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":"a\rb"})", 400, "text"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":"\ud83d\ude00"})", 400, "text"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":")" + std::string(kMaxAnswerBytes + 1, 'a') + "\"}", 400, "text"},
        {R"({"kiv":"k1","prompt":)" + p + R"(,"text":"x","admin":"1"})", 400, "member"},
        {R"({"kiv":"k1","prompt":12345,"text":"x"})", 409, "prompt"},
    };
    for (const auto& c : cases) {
        const Response r = Call("POST", "/api/answer", a, c.body);
        EXPECT_EQ(r.status, c.status) << c.body;
        EXPECT_NE(r.body.find(std::string("\"error\":\"") + c.error + "\""), std::string::npos) << c.body << r.body;
        EXPECT_NE(r.body.find("\"reason\":\""), std::string::npos);
    }
    EXPECT_TRUE(console.TakeOutgoing().empty()) << "a refused answer went out";

    // Choices out of the list.
    console.OnInputSelect("KIVPC", "Kiv", "Menu", "?", "a&:b", "A&:B");
    prompt = LastPromptId();
    for (const char* choice : {"2", "99999", "2147483647"})
        EXPECT_EQ(Answer(a, std::string("\"choice\":") + choice), 400) << choice;
    EXPECT_EQ(Answer(a, "\"choice\":-1"), 400);
    // A list whose return values are fewer than its items offers only the items it can answer.
    console.OnInputSelect("KIVPC", "Kiv", "Menu", "?", "a&:b", "A");
    prompt = LastPromptId();
    EXPECT_EQ(Answer(a, "\"choice\":1"), 400);
    EXPECT_TRUE(console.TakeOutgoing().empty());
}

TEST_F(WebConsoleTest, SessionsAreBoundedAndTheIdlestGivesWay)
{
    for (std::size_t i = 0; i < kMaxSessions; ++i) {
        now += 1;
        NewSession();
    }
    EXPECT_EQ(Call("GET", "/api/state", a).status, 403) << "the oldest session is still there";
}

TEST_F(WebConsoleTest, AStateRequestWithNothingNewWaits)
{
    const Response r = Call("GET", "/api/state", a, {}, {});
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.waitSince);
    Request again;
    again.method = "GET";
    again.path = "/api/state";
    again.headers = {{"x-kiv-token", kToken}, {"x-kiv-session", a}};
    again.query["since"] = std::to_string(console.Version());
    const Response wait = console.Handle(again, now);
    ASSERT_TRUE(wait.waitSince);
    EXPECT_EQ(*wait.waitSince, console.Version());
    for (const char* bad : {"", "-1", "1e3", "99999999999999999999"}) {
        again.query["since"] = bad;
        EXPECT_EQ(console.Handle(again, now).status, 400) << bad;
    }
}

TEST(WebJson, ReadsFlatObjectsAndRefusesEverythingElse)
{
    const auto ok = ParseFlatObject(U8(u8R"( {"a" : "x\"\\\/\n\u00e9\ud83d\ude00あ", "n":0, "m":2147483647} )"));
    ASSERT_TRUE(ok.object) << ok.error;
    EXPECT_EQ(std::get<std::string>(ok.object->at("a")), "x\"\\/\n\xC3\xA9\xF0\x9F\x98\x80" + U8(u8"あ"));
    EXPECT_EQ(std::get<std::int64_t>(ok.object->at("m")), 2147483647);
    EXPECT_TRUE(ParseFlatObject("{}").object);

    const std::string refused[] = {
        "",
        "{",
        "{\"a\":}",
        "{\"a\":\"x\",}",
        "{\"a\":\"x\"}{",
        "{\"a\":[1]}",
        "{\"a\":{}}",
        "{\"a\":true}",
        "{\"a\":null}",
        "{\"a\":-1}",
        "{\"a\":01}",
        "{\"a\":1.5}",
        "{\"a\":2147483648}",
        "{\"a\":99999999999999999999}",
        "{\"a\":\"x\",\"a\":\"y\"}",
        "{\"a\":\"\\ud800\"}",
        "{\"a\":\"\\udc00\"}",
        "{\"a\":\"\\ud800\\u0041\"}",
        "{\"a\":\"\\x41\"}",
        "{\"a\":\"\\u12\"}",
        std::string("{\"a\":\"\x01\"}"),
        std::string("{\"a\":\"\xC0\xAF\"}"),
        std::string("{\"a\":\"\xED\xA0\x80\"}"),
        std::string("{\"a\":\"\xE3\x81\"}"),
        std::string("{\"a\":\"\xFF\"}"),
        "{\"a\":\"open",
        "{a:1}",
        "{\"1\":1,\"2\":2,\"3\":3,\"4\":4,\"5\":5,\"6\":6,\"7\":7,\"8\":8,\"9\":9}",
        "{\"a\":\"" + std::string(kMaxJsonBytes, 'x') + "\"}",
    };
    for (const auto& text : refused) {
        const auto r = ParseFlatObject(text);
        EXPECT_FALSE(r.object) << text;
        EXPECT_FALSE(r.error.empty()) << text;
    }
}

TEST(WebJson, WritesTextThatCannotEndItsString)
{
    EXPECT_EQ(JsonString("a\"b\\c\n\r\t\x01\x7f</script>&"),
              R"("a\"b\\c\n\r\t\u0001\u007f\u003c/script\u003e\u0026")");
    const auto back = ParseFlatObject("{\"t\":" + JsonString("<\x02\"") + "}");
    ASSERT_TRUE(back.object);
    EXPECT_EQ(std::get<std::string>(back.object->at("t")), "<\x02\"");
}

TEST(WebText, StatusBlockAndShownText)
{
    const auto block = ParseStatusBlock(
        "【Kiv KestrelMesh Menu】\r\r【注意】 既に -Office- へ接続されています。\r\r≪ダイヤルアップ制御≫ Office VPN\r"
        "≪接続状況≫              接続\r≪自動接続時間≫        23:00\r≪自動切断時間≫        --:--\r\r実行したい項目を選択してください。");
    ASSERT_TRUE(block);
    EXPECT_EQ(block->target, "Office VPN");
    EXPECT_EQ(block->state, "接続");
    EXPECT_EQ(block->start, "23:00");
    EXPECT_EQ(block->end, "--:--");
    EXPECT_FALSE(ParseStatusBlock("【Kiv KestrelMesh Menu】\r\rパスワードを入力してください。"));
    EXPECT_EQ(ShownText("a\r\nb\rc"), "a\nb\nc");
}

}  // namespace
}  // namespace kmconsole::web
