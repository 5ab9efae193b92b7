// The web console's decisions: the checks a request goes through before its body is read and
// after; each session's dialogue with the Kiv it chose, and only with that peer; the bounds on
// what the LAN can make it keep; and the console's lock among its own sessions. Kiv's side of
// the dialogue is built from Kiv's own texts, so a reworded message cannot pass unnoticed.
// Literals are Shift-JIS (the wire's form); UTF-8 is spelled with u8.
#include "RasPort.h"
#include "RemoteMenu.h"
#include "RemoteTexts.h"
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
const unsigned char kPage[] = "<p>page</p>";
const Sender kKiv{"KIVPC", "Kiv", "10.0.0.5"};

// Kiv's main menu for the target 「東京」, as Kiv builds it.
std::string MenuMessage(int entryState = kiv::kEntryIdle)
{
    kiv::TSettings settings;
    settings.Target = "東京";
    settings.AutoStart = true;
    settings.AutoStartHour = 7;
    settings.AutoStartMinute = 5;
    return kiv::kRemoteMenuHeader + kiv::RemoteStatusBlock(settings, entryState) + kiv::kRemoteMenuQuestion;
}

// A console that has seen one Kiv (KIVPC at 10.0.0.5), a program of another kind and a Kiv
// that offers no menu, with two sessions.
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

    // A request as a browser on this computer sends it to 127.0.0.1:51080; headers given
    // replace the defaults.
    Request Make(const std::string& method, const std::string& path, const std::string& session = {},
                 const std::string& body = {}, const std::map<std::string, std::string>& headers = {})
    {
        Request r;
        r.method = method;
        r.path = path;
        r.body = body;
        r.client = "127.0.0.1";
        r.local = "127.0.0.1";
        r.localPort = 51080;
        r.headers["host"] = "127.0.0.1:51080";
        r.headers["x-kiv-token"] = kToken;
        if (!session.empty())
            r.headers["x-kiv-session"] = session;
        if (method == "POST") {
            r.headers["content-type"] = "application/json";
            r.headers["content-length"] = std::to_string(body.size());
        }
        for (const auto& [name, value] : headers)
            r.headers[name] = value;
        return r;
    }
    // What the server does: the head is screened, then the whole request handled.
    Response Send(const Request& r)
    {
        if (auto refused = console.Screen(r, now)) {
            EXPECT_TRUE(refused->close) << "a refusal before the body ends the connection";
            return *refused;
        }
        return console.Handle(r, now);
    }
    Response Call(const std::string& method, const std::string& path, const std::string& session = {},
                  const std::string& body = {}, const std::map<std::string, std::string>& headers = {})
    {
        return Send(Make(method, path, session, body, headers));
    }
    std::string NewSession()
    {
        const Response r = Call("POST", "/api/session");
        EXPECT_EQ(r.status, 200);
        const auto parsed = ParseFlatObject(r.body);
        return std::get<std::string>(parsed.object->at("session"));
    }
    int Open(const std::string& session, const std::string& kiv = "k1")
    {
        return Call("POST", "/api/open", session, R"({"kiv":")" + kiv + "\"}").status;
    }
    int Answer(const std::string& session, const std::string& fields, const std::string& kiv = "k1")
    {
        return Call("POST", "/api/answer", session,
                    R"({"kiv":")" + kiv + R"(","prompt":)" + std::to_string(prompt) + "," + fields + "}")
            .status;
    }
    std::string State(const std::string& session) { return console.StateJson(session); }
    void Menu(const Sender& from = kKiv)
    {
        console.OnInputSelect(from, kiv::kRemoteKeyMenu, MenuMessage(), kiv::RemoteMenuShown("東京"),
                              kiv::RemoteMenuReturns());
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
    // The page's name for the Kiv of that computer name, as a session's state gives it.
    std::string KivId(const std::string& session, const std::string& machine)
    {
        const std::string s = State(session);
        const auto at = s.find("\"machine\":\"" + machine + "\"");
        if (at == std::string::npos)
            return {};
        const auto id = s.rfind("\"id\":\"", at) + 6;
        return s.substr(id, s.find('"', id) - id);
    }
    void Dial(const std::string& who)
    {
        ToMenu(who);
        ASSERT_EQ(Answer(who, R"("choice":0)"), 202);
        console.OnInputMessage(kKiv, kiv::RemoteDialStarted("東京"), now);
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
    EXPECT_EQ(State(a), R"({"version":)" + std::to_string(console.Version()) + R"(,"unlisted":0,"kivs":[],"notes":[]})");
}

TEST_F(WebConsoleTest, NamesFromTheWireAreTextInTheJson)
{
    console.SyncPeers({{"<img src=x>", "Kiv", "太郎\"\\", "1.2.3.4", true}});
    const std::string s = State(a);
    EXPECT_NE(s.find(R"("machine":"\u003cimg src=x\u003e")"), std::string::npos) << s;
    EXPECT_NE(s.find(U8(u8"\"handle\":\"太郎\\\"\\\\\"")), std::string::npos) << s;
}

TEST_F(WebConsoleTest, ThePasswordRoadGoesToTheChosenAddressInShiftJisAndKeepsNothing)
{
    ASSERT_EQ(Open(a), 202);
    auto out = console.TakeOutgoing();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, Outgoing::Kind::MenuCheck);
    EXPECT_EQ(out[0].address, "10.0.0.5");
    EXPECT_EQ(out[0].discrimination, "Kiv");

    console.OnInputLine(kKiv, kiv::kRemoteKeyPassword,
                        std::string(kiv::kRemoteMenuHeader) + kiv::kRemotePasswordQuestion, kiv::kRemotePasswordLabel,
                        true);
    asker = a;
    prompt = LastPromptId();
    EXPECT_NE(State(a).find(U8(u8"\"message\":\"【Kiv KestrelMesh Menu】\\n\\nKivを制御するにはパスワードが必要です。\\n"
                               u8"パスワードを入力してください。\",\"label\":\"パスワード\",\"password\":true")),
              std::string::npos)
        << State(a);
    EXPECT_EQ(State(b).find("password\":true"), std::string::npos) << "another session sees the prompt";

    ASSERT_EQ(Answer(a, U8(u8R"("text":"ひみつ")")), 202);
    out = console.TakeOutgoing();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, Outgoing::Kind::InputReturn);
    EXPECT_EQ(out[0].address, "10.0.0.5");
    EXPECT_EQ(out[0].tag, "Password");
    EXPECT_EQ(out[0].value, "ひみつ");
    EXPECT_EQ(State(a).find(U8(u8"ひみつ")), std::string::npos);
    EXPECT_NE(State(a).find(R"("waiting":true)"), std::string::npos);
    EXPECT_EQ(Answer(a, U8(u8R"("text":"ひみつ")")), 409) << "the answered prompt is closed";
}

TEST_F(WebConsoleTest, TheMenuShowsKivsStatusBlockAndAChoiceSendsItsReturnValue)
{
    ToMenu(a);
    const std::string s = State(b);
    EXPECT_NE(s.find(U8(u8R"("status":{"target":"東京","state":"切断","start":"7:05","end":"--:--"})")),
              std::string::npos)
        << s;
    EXPECT_NE(State(a).find(U8(u8R"("danger":-1,"items":["■ 【東京】 へ接続する","■ 【東京】 から切断する",)")),
              std::string::npos)
        << State(a);
    ASSERT_EQ(Answer(a, R"("choice":1)"), 202);
    const auto out = console.TakeOutgoing();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].tag, kiv::kRemoteKeyMenu);
    EXPECT_EQ(out[0].value, kiv::kRemoteAnswerDeconnect);

    // The shutdown question's "yes" is marked as the dangerous choice.
    console.OnInputSelect(kKiv, kiv::kRemoteKeyWindowsEnd, kiv::kRemoteShutdownQuestion, kiv::kRemoteShutdownShown,
                          kiv::RemoteShutdownReturns());
    EXPECT_NE(State(a).find(R"("danger":1,)"), std::string::npos) << State(a);
}

TEST_F(WebConsoleTest, ASecondSessionIsRefusedWhileTheFirstOnesDialRuns)
{
    Dial(a);
    EXPECT_NE(State(a).find(R"("dialing":true)"), std::string::npos);
    EXPECT_NE(State(b).find(R"("locked":true)"), std::string::npos);
    EXPECT_EQ(Open(b), 409);
    EXPECT_NE(Call("POST", "/api/open", b, R"({"kiv":"k1"})").body.find(R"("error":"locked")"), std::string::npos);
    EXPECT_TRUE(console.TakeOutgoing().size() == 1u) << "only the first session's answer went out";

    // The outcome goes to the session whose dial it was, and frees the Kiv.
    console.OnInputMessage(kKiv, kiv::RemoteConnectedText("東京"), now + 3000);
    EXPECT_NE(State(a).find(U8(u8"「東京」へ接続しました。")), std::string::npos);
    EXPECT_EQ(State(b).find(U8(u8"接続しました")), std::string::npos);
    EXPECT_EQ(Open(b), 202);
}

TEST_F(WebConsoleTest, ARefusedDialTakesNoLock)
{
    ToMenu(a);
    ASSERT_EQ(Answer(a, R"("choice":0)"), 202);
    console.OnInputMessage(kKiv, kiv::RemoteDialRefused("東京"), now);
    EXPECT_EQ(Open(b), 202);
}

TEST_F(WebConsoleTest, APromptNobodyAskedForReplacesNothing)
{
    ToMenu(a);
    const std::uint64_t open = prompt;
    console.OnInputLine(kKiv, "Password", "forged", "x", true);
    console.OnInputSelect(kKiv, "Menu", "forged", "x", "y");
    EXPECT_EQ(State(a).find("forged"), std::string::npos);
    EXPECT_EQ(Answer(a, R"("choice":0)"), 202) << "the open prompt " << open << " is gone";
}

TEST_F(WebConsoleTest, OnlyThePeerTheUserChoseIsHeard)
{
    // Another peer under the Kiv's name: another address, or another kind at the same one.
    const Sender impostors[] = {{"KIVPC", "Kiv", "10.0.0.66"}, {"KIVPC", "KMC", "10.0.0.5"}, {"KIVPC", "Kiv", ""}};
    asker = a;
    for (const Sender& from : impostors) {
        ASSERT_EQ(Open(a), 202);
        console.OnInputLine(from, "Password", "forged prompt", "x", true);
        console.OnInputSelect(from, "Menu", MenuMessage(kiv::kEntryDialling), "forged", "y");
        console.OnInputMessage(from, "forged note", now);
        console.OnMenuNothing(from);
        const std::string s = State(a);
        EXPECT_EQ(s.find("forged"), std::string::npos) << from.address << " " << from.discrimination;
        EXPECT_EQ(s.find(U8(u8"メニューを提供していません")), std::string::npos) << from.address;
        EXPECT_NE(s.find(R"("status":null)"), std::string::npos) << from.address;
        EXPECT_NE(s.find(R"("waiting":true)"), std::string::npos) << "the question still waits for the Kiv";
        now += kAnswerWaitMs;
        console.Tick(now);
    }
    for (const auto& out : console.TakeOutgoing())
        EXPECT_EQ(out.address + "/" + out.discrimination, "10.0.0.5/Kiv");

    // A Kiv whose datagrams come from another of its addresses than the one it announced is
    // heard from there, and asked at the one it announced.
    console.SyncPeers({{"KIVPC", "Kiv", "Kiv", "10.0.0.5", true, "192.168.1.5"}});
    const std::string k = KivId(a, "KIVPC");
    ASSERT_EQ(Open(a, k), 202);
    console.OnInputLine(kKiv, "Password", "from the announced address", "x", true);
    EXPECT_EQ(State(a).find("from the announced address"), std::string::npos);
    console.OnInputLine({"KIVPC", "Kiv", "192.168.1.5"}, "Password", "from its source", "x", true);
    EXPECT_NE(State(a).find("from its source"), std::string::npos);
    EXPECT_EQ(console.TakeOutgoing().at(0).address, "10.0.0.5");
    console.SyncPeers({{"KIVPC", "Kiv", "Kiv", "10.0.0.5", true}});

    // The same name at another address is another entry: what was open for the old one closes.
    ASSERT_EQ(Open(a, KivId(a, "KIVPC")), 202);
    Menu();
    ASSERT_NE(prompt, 0u);
    const std::string moved = KivId(a, "KIVPC");
    console.SyncPeers({{"KIVPC", "Kiv", "Kiv", "10.0.0.66", true}});
    EXPECT_EQ(State(a).find("\"prompt\":{"), std::string::npos);
    EXPECT_NE(KivId(a, "KIVPC"), moved);
    EXPECT_EQ(KivId(a, "KIVPC").empty(), false);
    EXPECT_EQ(Answer(a, R"("choice":0)", moved), 404) << "the moved Kiv kept its id";
}

TEST_F(WebConsoleTest, AMenuThatNobodyHereAskedForTellsNoStatus)
{
    console.OnInputSelect(kKiv, kiv::kRemoteKeyMenu, MenuMessage(), "a", "b");
    EXPECT_NE(State(a).find(R"("status":null)"), std::string::npos) << State(a);
}

TEST_F(WebConsoleTest, WhatTheLanSendsIsBoundedWhereItEnters)
{
    // 300 peers claiming to be Kivs: some with names no computer has, some with long texts.
    std::vector<PeerInfo> peers{{"KIVPC", "Kiv", "Kiv", "10.0.0.5", true}};
    peers.push_back({std::string(30000, 'N'), "Kiv", "x", "10.0.1.1", true});
    peers.push_back({"NOADDRESS", "Kiv", "x", "10.0.1.2.3", true});
    for (int i = 0; i < 300; ++i)
        peers.push_back({"FAKE" + std::to_string(1000 + i), "Kiv", std::string(30000, 'h'), "10.1.0.1", true});
    console.SyncPeers(peers);
    std::string s = State(a);
    EXPECT_NE(s.find("\"unlisted\":" + std::to_string(300 + 1 - kMaxKivs)), std::string::npos) << s.substr(0, 40);
    EXPECT_NE(s.find("KIVPC"), std::string::npos) << "the Kiv listed first stays listed";
    EXPECT_EQ(s.find("NNNN"), std::string::npos);
    EXPECT_EQ(s.find("NOADDRESS"), std::string::npos);
    // Cut to kMaxNameBytes with the two bytes of "…" in Shift-JIS.
    EXPECT_NE(s.find("\"" + std::string(kMaxNameBytes - 2, 'h') + U8(u8"…\"")), std::string::npos);

    // A menu of 256 long items with a long question, and 300 closing messages.
    asker = a;
    ASSERT_EQ(Open(a), 202);
    std::string items, values;
    for (int i = 0; i < 256; ++i) {
        items += (i ? "&:" : "") + std::string(300, 'i');
        values += (i ? "&:" : "") + std::string(i == 0 ? kMaxReturnBytes + 1 : 8, 'v');
    }
    console.OnInputSelect(kKiv, "Menu", MenuMessage() + std::string(30000, 'q'), items, values);
    s = State(a);
    EXPECT_EQ(s.find(std::string(kMaxTextBytes, 'q')), std::string::npos);
    std::size_t shown = 0;
    const std::string item = "\"" + std::string(kMaxItemBytes - 2, 'i') + U8(u8"…\"");
    for (auto at = s.find(item); at != std::string::npos; at = s.find(item, at + 1))
        ++shown;
    EXPECT_EQ(shown, kMaxItems) << "an item whose value is too long to send back is left out";
    for (int i = 0; i < 300; ++i)
        console.OnInputMessage(kKiv, "note " + std::to_string(i) + std::string(30000, 'm'), now);
    s = State(a);
    EXPECT_EQ(s.find("note 279"), std::string::npos);
    EXPECT_NE(s.find("note 280"), std::string::npos);
    EXPECT_EQ(s.find(std::string(kMaxTextBytes, 'm')), std::string::npos);
    // What a poll builds for the page stays small whatever the LAN sends.
    EXPECT_LT(s.size(), 80000u);
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
    console.OnInputMessage(kKiv, "late", now);
    EXPECT_NE(State(b).find("late"), std::string::npos);
    EXPECT_EQ(State(a).find("late"), std::string::npos);
}

TEST_F(WebConsoleTest, EveryApiRequestCarriesTheToken)
{
    struct Case {
        const char* what;
        std::string method, path, token;
    } cases[] = {
        {"empty header", "POST", "/api/session", ""},
        {"wrong token", "POST", "/api/session", "tok-0123456789abcdeX"},
        {"a prefix", "POST", "/api/session", "tok-0123"},
        {"longer", "POST", "/api/session", std::string(kToken) + "0"},
        {"state", "GET", "/api/state", "nope"},
        {"unknown path", "GET", "/api/nothing", "nope"},
    };
    for (const auto& c : cases) {
        const Response r = Call(c.method, c.path, a, {}, {{"x-kiv-token", c.token}});
        EXPECT_EQ(r.status, 401) << c.what;
        EXPECT_NE(r.body.find(R"("error":"token")"), std::string::npos) << c.what;
    }
    // A token in the URL is not one.
    Request r = Make("POST", "/api/session");
    r.headers.erase("x-kiv-token");
    r.query["token"] = kToken;
    EXPECT_EQ(Send(r).status, 401);
}

TEST_F(WebConsoleTest, WrongTokensFromOneAddressAreLimited)
{
    const auto from = [&](const std::string& client, const std::string& token) {
        Request r = Make("POST", "/api/session", {}, {}, {{"x-kiv-token", token}});
        r.client = client;
        return Send(r);
    };
    for (int i = 0; i < kTokenTries; ++i)
        ASSERT_EQ(from("10.9.9.9", "wrong-token-000000").status, 401) << i;
    const Response limited = from("10.9.9.9", kToken);
    EXPECT_EQ(limited.status, 429) << "the right token is not even compared";
    bool retryAfter = false;
    for (const auto& [name, value] : limited.headers)
        retryAfter = retryAfter || (name == "Retry-After" && value == std::to_string(kTokenRetryMs / 1000));
    EXPECT_TRUE(retryAfter);
    EXPECT_EQ(from("10.9.9.8", kToken).status, 200) << "another address is not held up";
    now += kTokenRetryMs;
    EXPECT_EQ(from("10.9.9.9", kToken).status, 200) << "one more try after the wait";
}

TEST_F(WebConsoleTest, ThePageHoldsNoSecretAndNeedsNone)
{
    Request page = Make("GET", "/");
    page.headers.erase("x-kiv-token");
    const Response shown = Send(page);
    EXPECT_EQ(shown.status, 200);
    EXPECT_EQ(shown.body, "<p>page</p>");
    EXPECT_EQ(shown.body.find(kToken), std::string::npos);
    for (const char* path : {"/login", "/../index.html", "/index.html/", "/api"}) {
        page.path = path;
        EXPECT_EQ(Send(page).status, 404) << path;
    }
}

TEST_F(WebConsoleTest, TheHostMustNameTheAddressTheRequestCameTo)
{
    struct Case {
        std::string local, host;
        int status;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1:51080", 200},   {"127.0.0.1", "localhost:51080", 200},
        {"127.0.0.1", "LOCALHOST:51080", 200},   {"192.168.0.10", "192.168.0.10:51080", 200},
        {"127.0.0.1", "attacker.example:51080", 421}, {"127.0.0.1", "127.0.0.1:80", 421},
        {"127.0.0.1", "127.0.0.1", 421},         {"192.168.0.10", "localhost:51080", 421},
        {"192.168.0.10", "127.0.0.1:51080", 421}, {"127.0.0.1", "", 400},
    };
    for (const auto& c : cases) {
        for (const char* path : {"/", "/api/state"}) {
            Request r = Make("GET", path, a);
            r.local = c.local;
            r.headers["host"] = c.host;
            EXPECT_EQ(Send(r).status, c.status) << c.local << " " << c.host << " " << path;
        }
    }
}

TEST_F(WebConsoleTest, BodiesAreRefusedBeforeTheyAreRead)
{
    struct Case {
        const char* what;
        std::string path;
        std::map<std::string, std::string> headers;
        int status;
    } cases[] = {
        {"chunked, no token", "/api/open", {{"transfer-encoding", "chunked"}, {"x-kiv-token", ""}}, 401},
        {"no length, no token", "/api/open", {{"content-length", ""}, {"x-kiv-token", ""}}, 401},
        {"gzip, no token", "/api/open", {{"content-encoding", "gzip"}, {"x-kiv-token", ""}}, 401},
        {"chunked", "/api/open", {{"transfer-encoding", "chunked"}}, 411},
        {"chunked, with a length too", "/api/answer", {{"transfer-encoding", "gzip, chunked"}}, 411},
        {"no length", "/api/open", {{"content-length", ""}}, 411},
        {"gzip", "/api/open", {{"content-encoding", "gzip"}}, 415},
        {"not JSON", "/api/open", {{"content-type", "text/plain"}}, 415},
        {"a page with a body", "/", {{"content-length", "10"}}, 405},
    };
    for (const auto& c : cases) {
        Request r = Make("POST", c.path, a, R"({"kiv":"k1"})", c.headers);
        for (const auto& [name, value] : c.headers)
            if (value.empty())
                r.headers.erase(name);
        const auto refused = console.Screen(r, now);
        ASSERT_TRUE(refused) << c.what;
        EXPECT_EQ(refused->status, c.status) << c.what;
        EXPECT_TRUE(refused->close) << c.what;
    }
    Request get = Make("GET", "/", {}, {}, {{"content-length", "5"}});
    EXPECT_EQ(console.Screen(get, now)->status, 400) << "a GET with a body";
    get.headers["content-length"] = "0";
    EXPECT_FALSE(console.Screen(get, now));
    EXPECT_TRUE(console.TakeOutgoing().empty());
}

TEST_F(WebConsoleTest, NoCorsAndStateChangesOnlyByPost)
{
    struct Case {
        std::string method, path;
        int status;
    } cases[] = {
        {"GET", "/api/open", 405},     {"GET", "/api/answer", 405},   {"GET", "/api/session", 405},
        {"POST", "/api/state", 405},   {"OPTIONS", "/api/open", 405}, {"PUT", "/api/answer", 405},
        {"POST", "/", 405},            {"DELETE", "/login", 405},     {"POST", "/api/nothing", 404},
    };
    for (const auto& c : cases) {
        const Response r = Call(c.method, c.path, a, R"({"kiv":"k1"})");
        EXPECT_EQ(r.status, c.status) << c.method << " " << c.path;
        for (const auto& h : r.headers)
            EXPECT_EQ(h.first.rfind("Access-Control-", 0), std::string::npos) << h.first;
    }
    EXPECT_EQ(Call("POST", "/api/open", "", R"({"kiv":"k1"})").status, 403);
    EXPECT_EQ(Call("POST", "/api/open", "0123abc", R"({"kiv":"k1"})").status, 403);
    EXPECT_EQ(Call("POST", "/api/open", "NOT-HEX", R"({"kiv":"k1"})").status, 403);
}

TEST_F(WebConsoleTest, BadAnswersAreRefusedWithAReason)
{
    asker = a;
    ASSERT_EQ(Open(a), 202);
    console.OnInputLine(kKiv, "Password", "?", "パスワード", true);
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
        // Shift-JIS "ソ" is 83 5C: with "|" behind it the wire would read a line break.
        {U8(u8R"({"kiv":"k1","prompt":)") + p + U8(u8R"(,"text":"ソ|パス"})"), 400, "text"},
        {U8(u8R"({"kiv":"k1","prompt":)") + p + U8(u8R"(,"text":"表|"})"), 400, "text"},
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
        EXPECT_TRUE(IsUtf8(r.body)) << r.body;
    }
    EXPECT_TRUE(console.TakeOutgoing().empty()) << "a refused answer went out";

    // The same characters without the bar go out as their Shift-JIS bytes.
    ASSERT_EQ(Answer(a, U8(u8R"("text":"ソ表パス")")), 202);
    const auto out = console.TakeOutgoing();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].value, "\x83\x5C\x95\x5C\x83\x70\x83\x58");

    // Choices out of the list.
    ASSERT_EQ(Open(a), 202);
    console.OnInputSelect(kKiv, "Menu", "?", "a&:b", "A&:B");
    prompt = LastPromptId();
    for (const char* choice : {"2", "99999", "2147483647"})
        EXPECT_EQ(Answer(a, std::string("\"choice\":") + choice), 400) << choice;
    EXPECT_EQ(Answer(a, "\"choice\":-1"), 400);
    // A list whose return values are fewer than its items offers only the items it can answer.
    ASSERT_EQ(Open(a), 202);
    console.TakeOutgoing();
    console.OnInputSelect(kKiv, "Menu", "?", "a&:b", "A");
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

TEST_F(WebConsoleTest, ASessionWhoseDialRunsIsNeverEvicted)
{
    Dial(a);
    for (std::size_t i = 0; i < 3 * kMaxSessions; ++i) {
        now += 1;
        NewSession();
    }
    EXPECT_EQ(Call("GET", "/api/state", a).status, 200) << "the dialling session was evicted";
    EXPECT_NE(State(a).find(R"("dialing":true)"), std::string::npos);
    const std::string c = NewSession();
    EXPECT_EQ(Open(c), 409) << "the lock was released by an eviction";

    // When every session has a dial of its own running, no new one is made.
    std::vector<PeerInfo> peers{{"KIVPC", "Kiv", "Kiv", "10.0.0.5", true}};
    for (std::size_t i = 1; i < kMaxSessions; ++i)
        peers.push_back({"KIV" + std::to_string(i), "Kiv", "Kiv", "10.0.1." + std::to_string(i), true});
    console.SyncPeers(peers);
    for (std::size_t i = 1; i < kMaxSessions; ++i) {
        const std::string s = NewSession();
        const Sender kiv{"KIV" + std::to_string(i), "Kiv", "10.0.1." + std::to_string(i)};
        const std::string kivId = KivId(s, kiv.machineName);
        ASSERT_FALSE(kivId.empty());
        ASSERT_EQ(Open(s, kivId), 202);
        console.OnInputSelect(kiv, kiv::kRemoteKeyMenu, MenuMessage(), kiv::RemoteMenuShown("東京"),
                              kiv::RemoteMenuReturns());
        asker = s;
        prompt = LastPromptId();
        ASSERT_EQ(Answer(s, R"("choice":0)", kivId), 202);
        console.OnInputMessage(kiv, kiv::RemoteDialStarted("東京"), now);
        now += 1;
    }
    const Response none = Call("POST", "/api/session");
    EXPECT_EQ(none.status, 503);
    EXPECT_NE(none.body.find(R"("error":"sessions")"), std::string::npos);
}

TEST_F(WebConsoleTest, AStateRequestWithNothingNewWaits)
{
    const Response r = Call("GET", "/api/state", a);
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.waitSince);
    Request again = Make("GET", "/api/state", a);
    again.query["since"] = std::to_string(console.Version());
    const Response wait = Send(again);
    ASSERT_TRUE(wait.waitSince);
    EXPECT_EQ(*wait.waitSince, console.Version());
    EXPECT_EQ(wait.session, a);
    for (const char* bad : {"", "-1", "1e3", "99999999999999999999"}) {
        again.query["since"] = bad;
        EXPECT_EQ(Send(again).status, 400) << bad;
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

TEST(WebText, ReadsKivsOwnStatusBlockAndDialStart)
{
    const auto block = ParseStatusBlock(kiv::RemoteAlreadyConnected("Office") + MenuMessage(3));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->target, "東京");
    EXPECT_EQ(block->state, "接続");
    EXPECT_EQ(block->start, "7:05");
    EXPECT_EQ(block->end, "--:--");
    EXPECT_FALSE(ParseStatusBlock(std::string(kiv::kRemoteMenuHeader) + kiv::kRemotePasswordQuestion));
    EXPECT_EQ(ShownText("a\r\nb\rc"), "a\nb\nc");

    EXPECT_TRUE(SaysDialStarted(kiv::RemoteDialStarted("Office VPN")));
    EXPECT_TRUE(SaysDialStarted(kiv::RemoteDialStarted("への接続処理を開始します。")));
    for (const std::string& other : {kiv::RemoteDialRefused("Office VPN"), kiv::RemoteConnectedText("Office VPN"),
                                     kiv::kRemoteLocked, std::string(kiv::kRemoteMessageHeader)})
        EXPECT_FALSE(SaysDialStarted(other)) << other;
}

TEST(WebText, BoundTextCutsAtACharacterAndSaysSo)
{
    EXPECT_EQ(BoundText("abc", 3), "abc");
    EXPECT_EQ(BoundText("abcdef", 5), "abc…");
    // Two-byte characters are not split: "あいう" is 6 bytes; 5 leave room for one and the mark.
    EXPECT_EQ(BoundText("あいう", 5), "あ…");
    EXPECT_EQ(BoundText("aあいう", 5), "aあ…");
    EXPECT_EQ(BoundText("aあいう", 4), "a…");
    EXPECT_LE(BoundText(std::string(100, '\x81'), 9).size(), 9u);
}

}  // namespace
}  // namespace kmconsole::web
