#include "WebConsole.h"

#include <algorithm>

#include "Console.h"
#include "TextHelpers.h"
#include "WebJson.h"

namespace kmconsole::web {
namespace {

// The lines of Kiv's status block, and the start of the final message that says its dial
// has begun (Shift-JIS, as on the wire).
const char kTargetLine[] = "≪ダイヤルアップ制御≫";
const char kStateLine[] = "≪接続状況≫";
const char kStartLine[] = "≪自動接続時間≫";
const char kEndLine[] = "≪自動切断時間≫";
const char kDialStarted[] = "への接続処理を開始します。";
const char kNoReply[] = "Kivから応答がありません。もう一度お試しください。";
const char kNoMenu[] = "このコンピュータはメニューを提供していません。";

const char kTokenHeader[] = "x-kiv-token";
const char kSessionHeader[] = "x-kiv-session";
const char kCookieName[] = "kiv_token";

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string Header(const Request& r, const char* name)
{
    const auto it = r.headers.find(name);
    return it == r.headers.end() ? std::string() : it->second;
}

bool IsHexId(const std::string& s)
{
    return !s.empty() && s.size() <= 64 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string CookieValue(const std::string& cookies, const std::string& name)
{
    std::size_t pos = 0;
    while (pos < cookies.size()) {
        auto end = cookies.find(';', pos);
        if (end == std::string::npos)
            end = cookies.size();
        const std::string part = Trim(cookies.substr(pos, end - pos));
        const auto eq = part.find('=');
        if (eq != std::string::npos && part.substr(0, eq) == name)
            return part.substr(eq + 1);
        pos = end + 1;
    }
    return {};
}

void Harden(Response& r)
{
    r.headers.push_back({"Cache-Control", "no-store"});
    r.headers.push_back({"X-Content-Type-Options", "nosniff"});
    r.headers.push_back({"Referrer-Policy", "no-referrer"});
    r.headers.push_back({"X-Frame-Options", "DENY"});
    r.headers.push_back({"Content-Security-Policy",
                         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                         "connect-src 'self'; form-action 'none'; frame-ancestors 'none'; base-uri 'none'"});
}

}  // namespace

std::optional<StatusBlock> ParseStatusBlock(const std::string& message)
{
    StatusBlock block;
    bool any = false;
    std::size_t pos = 0;
    while (pos <= message.size()) {
        auto end = message.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = message.size();
        const std::string line = message.substr(pos, end - pos);
        const struct {
            const char* label;
            std::string* field;
        } fields[] = {{kTargetLine, &block.target}, {kStateLine, &block.state}, {kStartLine, &block.start},
                      {kEndLine, &block.end}};
        for (const auto& f : fields)
            if (line.rfind(f.label, 0) == 0) {
                *f.field = Trim(line.substr(std::char_traits<char>::length(f.label)));
                any = true;
            }
        pos = end + 1;
    }
    if (!any)
        return std::nullopt;
    return block;
}

std::string ShownText(const std::string& sjis)
{
    std::string t = sjis;
    kiv::ReplaceText("\r\n", "\n", t);
    kiv::ReplaceText("\r", "\n", t);
    return SjisToUtf8(t);
}

std::optional<std::string> AnswerProblem(const std::string& utf8)
{
    if (utf8.size() > kMaxAnswerBytes)
        return "the answer is too long";
    if (!IsUtf8(utf8))
        return "the answer is not UTF-8";
    for (unsigned char c : utf8)
        if (c < 0x20 || c == 0x7F)
            return "the answer holds a control character";
    // The wire has no escaping: these would move the message's later fields.
    if (utf8.find("&|") != std::string::npos || utf8.find("\\|") != std::string::npos)
        return "the answer holds \"&|\" or \"\\|\"";
    if (SjisToUtf8(Utf8ToSjis(utf8)) != utf8)
        return "the answer holds characters that Shift-JIS cannot carry";
    return std::nullopt;
}

WebConsole::WebConsole(std::string token, std::string menuDiscrimination, std::function<std::string()> random,
                       std::vector<Asset> assets)
    : token_(std::move(token)), menuDisc_(std::move(menuDiscrimination)), random_(std::move(random)),
      assets_(std::move(assets))
{
}

void WebConsole::SyncPeers(const std::vector<PeerInfo>& peers)
{
    std::map<std::string, const PeerInfo*> seen;
    for (const auto& p : peers)
        if (p.menu && p.discrimination == menuDisc_ && !p.machineName.empty())
            seen.emplace(p.machineName, &p);
    for (auto it = kivs_.begin(); it != kivs_.end();) {
        if (seen.count(it->first)) {
            ++it;
            continue;
        }
        it = kivs_.erase(it);
        Changed();
    }
    for (const auto& [machine, p] : seen) {
        auto it = kivs_.find(machine);
        if (it == kivs_.end()) {
            Kiv kiv;
            kiv.peer = *p;
            kiv.id = "k" + std::to_string(nextId_++);
            kivs_.emplace(machine, std::move(kiv));
            Changed();
        } else if (it->second.peer.handleName != p->handleName || it->second.peer.ipAddress != p->ipAddress) {
            it->second.peer = *p;
            Changed();
        }
    }
}

WebConsole::Kiv* WebConsole::Find(const std::string& machineName, const std::string& discrimination)
{
    if (discrimination != menuDisc_)
        return nullptr;
    const auto it = kivs_.find(machineName);
    return it == kivs_.end() ? nullptr : &it->second;
}

WebConsole::Kiv* WebConsole::FindById(const std::string& id)
{
    for (auto& [machine, kiv] : kivs_)
        if (kiv.id == id)
            return &kiv;
    return nullptr;
}

std::string WebConsole::Asker(Kiv& kiv)
{
    // A prompt only ever answers a question: one that nobody here asked is another console's
    // (one sharing this address and kind) or forged, and must not replace a session's prompt.
    std::string who = kiv.asking && sessions_.count(*kiv.asking) ? *kiv.asking : std::string();
    kiv.asking.reset();
    kiv.askedConnect = false;
    return who;
}

std::string WebConsole::Recipient(Kiv& kiv)
{
    std::string who = kiv.asking ? *kiv.asking : kiv.holder ? *kiv.holder : kiv.lastSession;
    return sessions_.count(who) ? who : std::string();
}

void WebConsole::AddNote(View& view, const std::string& text)
{
    view.notes.push_back({nextId_++, text});
    while (view.notes.size() > kMaxNotesPerView)
        view.notes.pop_front();
}

void WebConsole::OnInputLine(const std::string& machineName, const std::string& discrimination,
                             const std::string& tag, const std::string& message, const std::string& label,
                             bool password)
{
    Kiv* kiv = Find(machineName, discrimination);
    if (!kiv)
        return;
    const std::string who = Asker(*kiv);
    if (who.empty())
        return;
    Prompt p;
    p.id = nextId_++;
    p.tag = tag;
    p.message = message;
    p.label = label;
    p.password = password;
    kiv->views[who].prompt = std::move(p);
    Changed();
}

void WebConsole::OnInputSelect(const std::string& machineName, const std::string& discrimination,
                               const std::string& tag, const std::string& message, const std::string& list,
                               const std::string& returns)
{
    Kiv* kiv = Find(machineName, discrimination);
    if (!kiv)
        return;
    if (auto status = ParseStatusBlock(message)) {
        kiv->status = std::move(status);
        Changed();
    }
    const std::string who = Asker(*kiv);
    if (who.empty())
        return;
    Prompt p;
    p.id = nextId_++;
    p.select = true;
    p.tag = tag;
    p.message = message;
    p.items = SplitItems(list);
    p.returns = SplitItems(returns);
    kiv->views[who].prompt = std::move(p);
    Changed();
}

void WebConsole::OnInputMessage(const std::string& machineName, const std::string& discrimination,
                                const std::string& message, std::uint64_t nowMs)
{
    Kiv* kiv = Find(machineName, discrimination);
    if (!kiv)
        return;
    const std::string who = Recipient(*kiv);
    const bool dialStarted = kiv->asking && kiv->askedConnect && message.find(kDialStarted) != std::string::npos;
    if (dialStarted && !who.empty()) {
        kiv->holder = who;
        kiv->heldSince = nowMs;
    } else if (kiv->holder && *kiv->holder == who) {
        kiv->holder.reset();  // the outcome of its dial, or the end of another action
    }
    kiv->asking.reset();
    kiv->askedConnect = false;
    if (!who.empty()) {
        View& view = kiv->views[who];
        view.prompt.reset();
        AddNote(view, message);
    }
    Changed();
}

void WebConsole::OnMenuNothing(const std::string& machineName, const std::string& discrimination)
{
    Kiv* kiv = Find(machineName, discrimination);
    if (!kiv)
        return;
    const std::string who = Recipient(*kiv);
    kiv->asking.reset();
    if (!who.empty())
        AddNote(kiv->views[who], kNoMenu);
    Changed();
}

void WebConsole::Tick(std::uint64_t nowMs)
{
    for (auto& [machine, kiv] : kivs_) {
        if (kiv.asking && nowMs - kiv.askedAt >= kAnswerWaitMs) {
            if (sessions_.count(*kiv.asking))
                AddNote(kiv.views[*kiv.asking], kNoReply);
            kiv.asking.reset();
            kiv.askedConnect = false;
            Changed();
        }
        if (kiv.holder && nowMs - kiv.heldSince >= kDialHoldMaxMs) {
            kiv.holder.reset();
            Changed();
        }
    }
}

std::vector<Outgoing> WebConsole::TakeOutgoing()
{
    std::vector<Outgoing> out;
    out.swap(outgoing_);
    return out;
}

bool WebConsole::TokenMatches(const std::string& given) const
{
    // Every byte compared whatever the first difference, so timing tells nothing.
    if (given.size() != token_.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < given.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ token_[i]);
    return diff == 0;
}

std::string WebConsole::NewSession(std::uint64_t nowMs)
{
    if (sessions_.size() >= kMaxSessions) {
        // The longest idle session gives way; its views and its hold go with it.
        const auto oldest = std::min_element(sessions_.begin(), sessions_.end(),
                                             [](const auto& a, const auto& b) { return a.second < b.second; });
        const std::string gone = oldest->first;
        sessions_.erase(oldest);
        for (auto& [machine, kiv] : kivs_) {
            kiv.views.erase(gone);
            if (kiv.holder == gone)
                kiv.holder.reset();
            if (kiv.asking == gone)
                kiv.asking.reset();
        }
    }
    std::string id;
    do
        id = random_();
    while (sessions_.count(id));
    sessions_[id] = nowMs;
    return id;
}

bool WebConsole::Touch(const std::string& session, std::uint64_t nowMs)
{
    if (!IsHexId(session))
        return false;
    const auto it = sessions_.find(session);
    if (it == sessions_.end())
        return false;
    it->second = nowMs;
    return true;
}

Response WebConsole::Error(int status, const std::string& code, const std::string& reason) const
{
    Response r;
    r.status = status;
    r.body = "{\"error\":" + JsonString(code) + ",\"reason\":" + JsonString(reason) + "}";
    Harden(r);
    return r;
}

Response WebConsole::Handle(const Request& request, std::uint64_t nowMs)
{
    const std::string& path = request.path;
    if (path.rfind("/api/", 0) == 0)
        return Api(request, nowMs);
    if (request.method != "GET" && request.method != "HEAD") {
        Response r = Error(405, "method", "only GET is served here");
        r.headers.push_back({"Allow", "GET"});
        return r;
    }
    if (path == "/login") {
        const auto it = request.query.find("token");
        if (it == request.query.end() || !TokenMatches(it->second)) {
            Response r = Error(401, "token", "the link's token is wrong; use the link kmconsole printed");
            r.contentType = "text/plain; charset=utf-8";
            r.body = "401: wrong token. Open the link that kmconsole web printed when it started.\n";
            return r;
        }
        Response r;
        r.status = 303;
        r.contentType = "text/plain; charset=utf-8";
        r.body = "see /\n";
        r.headers.push_back({"Location", "/"});
        r.headers.push_back(
            {"Set-Cookie", std::string(kCookieName) + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict"});
        Harden(r);
        return r;
    }
    return Page(request, path);
}

Response WebConsole::Page(const Request& request, const std::string& path) const
{
    const std::string wanted = path == "/" ? "/index.html" : path;
    const Asset* asset = nullptr;
    for (const auto& a : assets_)
        if (wanted == a.path)
            asset = &a;
    if (!asset)
        return Error(404, "path", "no such page");
    if (!TokenMatches(CookieValue(Header(request, "cookie"), kCookieName))) {
        Response r = Error(401, "token", "open the link kmconsole printed");
        r.contentType = "text/plain; charset=utf-8";
        r.body = "401: this console asks for its token. Open the link that kmconsole web printed when it "
                 "started (it sets a cookie once).\n";
        return r;
    }
    Response r;
    r.contentType = asset->contentType;
    r.body.assign(reinterpret_cast<const char*>(asset->data), asset->size);
    if (wanted == "/index.html")
        kiv::ReplaceText("@TOKEN@", token_, r.body);
    Harden(r);
    return r;
}

Response WebConsole::Api(const Request& request, std::uint64_t nowMs)
{
    if (!TokenMatches(Header(request, kTokenHeader)))
        return Error(401, "token", "the X-Kiv-Token header is missing or wrong");
    const std::string& path = request.path;
    const bool post = request.method == "POST";
    if (path == "/api/session" || path == "/api/open" || path == "/api/answer") {
        if (!post) {
            Response r = Error(405, "method", "use POST");
            r.headers.push_back({"Allow", "POST"});
            return r;
        }
    } else if (path == "/api/state") {
        if (request.method != "GET") {
            Response r = Error(405, "method", "use GET");
            r.headers.push_back({"Allow", "GET"});
            return r;
        }
    } else {
        return Error(404, "path", "no such request");
    }
    if (path == "/api/session") {
        Response r;
        r.body = "{\"session\":" + JsonString(NewSession(nowMs)) + "}";
        Harden(r);
        return r;
    }
    const std::string session = Header(request, kSessionHeader);
    if (!Touch(session, nowMs))
        return Error(403, "session", "the X-Kiv-Session header names no session; ask for a new one");
    if (path == "/api/state") {
        std::uint64_t since = 0;
        if (const auto it = request.query.find("since"); it != request.query.end()) {
            const std::string& s = it->second;
            if (s.empty() || s.size() > 18 || s.find_first_not_of("0123456789") != std::string::npos)
                return Error(400, "since", "since must be a whole number");
            since = std::stoull(s);
        }
        Response r;
        r.session = session;
        Harden(r);
        if (since >= version_)
            r.waitSince = since;
        else
            r.body = StateJson(session);
        return r;
    }
    if (Header(request, "content-type").rfind("application/json", 0) != 0)
        return Error(415, "type", "the body must be application/json");
    const JsonParse parsed = ParseFlatObject(request.body);
    if (!parsed.object)
        return Error(400, "json", parsed.error);
    const JsonObject& o = *parsed.object;
    auto text = [&](const char* name) -> std::optional<std::string> {
        const auto it = o.find(name);
        if (it == o.end() || !std::holds_alternative<std::string>(it->second))
            return std::nullopt;
        return std::get<std::string>(it->second);
    };
    auto number = [&](const char* name) -> std::optional<std::int64_t> {
        const auto it = o.find(name);
        if (it == o.end() || !std::holds_alternative<std::int64_t>(it->second))
            return std::nullopt;
        return std::get<std::int64_t>(it->second);
    };
    const auto kiv = text("kiv");
    if (!kiv)
        return Error(400, "kiv", "\"kiv\" must name a Kiv of the list");
    for (const auto& [name, value] : o)
        if (name != "kiv" && name != "prompt" && name != "choice" && name != "text")
            return Error(400, "member", "unknown member " + JsonString(IsUtf8(name) ? name : "?"));
    if (path == "/api/open")
        return Open(session, *kiv, nowMs);
    const auto prompt = number("prompt");
    if (!prompt)
        return Error(400, "prompt", "\"prompt\" must be the number of the prompt being answered");
    const auto choice = number("choice");
    const auto typed = text("text");
    if (o.count("choice") && !choice)
        return Error(400, "choice", "\"choice\" must be a whole number");
    if (o.count("text") && !typed)
        return Error(400, "text", "\"text\" must be text");
    if (choice.has_value() == typed.has_value())
        return Error(400, "answer", "give either \"choice\" or \"text\"");
    return Answer(session, *kiv, *prompt, choice, typed, nowMs);
}

std::optional<Response> WebConsole::MayAsk(const Kiv& kiv, const std::string& session, std::uint64_t nowMs) const
{
    if (kiv.holder && *kiv.holder != session)
        return Error(409, "locked", "another user of this console is in control while the dial runs");
    if (kiv.asking && *kiv.asking != session && nowMs - kiv.askedAt < kAnswerWaitMs)
        return Error(409, "busy", "another user of this console is waiting for this Kiv's answer");
    return std::nullopt;
}

Response WebConsole::Open(const std::string& session, const std::string& id, std::uint64_t nowMs)
{
    Kiv* kiv = FindById(id);
    if (!kiv)
        return Error(404, "kiv", "no such Kiv is seen");
    if (auto refused = MayAsk(*kiv, session, nowMs))
        return *refused;
    kiv->asking = session;
    kiv->askedAt = nowMs;
    kiv->askedConnect = false;
    kiv->lastSession = session;
    kiv->views[session].prompt.reset();
    outgoing_.push_back({Outgoing::Kind::MenuCheck, kiv->peer.machineName, kiv->peer.discrimination, {}, {}});
    Changed();
    Response r;
    r.status = 202;
    r.body = "{\"sent\":true}";
    Harden(r);
    return r;
}

Response WebConsole::Answer(const std::string& session, const std::string& id, std::int64_t promptId,
                            const std::optional<std::int64_t>& choice, const std::optional<std::string>& text,
                            std::uint64_t nowMs)
{
    Kiv* kiv = FindById(id);
    if (!kiv)
        return Error(404, "kiv", "no such Kiv is seen");
    if (auto refused = MayAsk(*kiv, session, nowMs))
        return *refused;
    auto view = kiv->views.find(session);
    if (view == kiv->views.end() || !view->second.prompt ||
        view->second.prompt->id != static_cast<std::uint64_t>(promptId))
        return Error(409, "prompt", "that prompt is no longer open");
    const Prompt& prompt = *view->second.prompt;
    std::string value;
    if (prompt.select) {
        if (!choice)
            return Error(400, "choice", "this prompt is answered with \"choice\"");
        if (*choice < 0 || static_cast<std::size_t>(*choice) >= prompt.items.size() ||
            static_cast<std::size_t>(*choice) >= prompt.returns.size())
            return Error(400, "choice", "\"choice\" is not an item of the list");
        value = prompt.returns[static_cast<std::size_t>(*choice)];
    } else {
        if (!text)
            return Error(400, "text", "this prompt is answered with \"text\"");
        if (auto problem = AnswerProblem(*text))
            return Error(400, "text", *problem);
        value = Utf8ToSjis(*text);
    }
    kiv->asking = session;
    kiv->askedAt = nowMs;
    kiv->askedConnect = prompt.select && prompt.tag == "Menu" && value == "Connect";
    kiv->lastSession = session;
    outgoing_.push_back(
        {Outgoing::Kind::InputReturn, kiv->peer.machineName, kiv->peer.discrimination, prompt.tag, value});
    view->second.prompt.reset();  // the typed text, a password too, is not kept
    Changed();
    Response r;
    r.status = 202;
    r.body = "{\"sent\":true}";
    Harden(r);
    return r;
}

std::string WebConsole::StateJson(const std::string& session) const
{
    std::string out = "{\"version\":" + std::to_string(version_) + ",\"kivs\":[";
    bool firstKiv = true;
    for (const auto& [machine, kiv] : kivs_) {
        out += firstKiv ? "" : ",";
        firstKiv = false;
        out += "{\"id\":" + JsonString(kiv.id) + ",\"machine\":" + JsonString(SjisToUtf8(kiv.peer.machineName)) +
               ",\"handle\":" + JsonString(SjisToUtf8(kiv.peer.handleName)) +
               ",\"address\":" + JsonString(SjisToUtf8(kiv.peer.ipAddress)) + ",\"status\":";
        if (kiv.status)
            out += "{\"target\":" + JsonString(SjisToUtf8(kiv.status->target)) +
                   ",\"state\":" + JsonString(SjisToUtf8(kiv.status->state)) +
                   ",\"start\":" + JsonString(SjisToUtf8(kiv.status->start)) +
                   ",\"end\":" + JsonString(SjisToUtf8(kiv.status->end)) + "}";
        else
            out += "null";
        out += std::string(",\"waiting\":") + (kiv.asking && *kiv.asking == session ? "true" : "false");
        out += std::string(",\"busy\":") + (kiv.asking && *kiv.asking != session ? "true" : "false");
        out += std::string(",\"locked\":") + (kiv.holder && *kiv.holder != session ? "true" : "false");
        out += std::string(",\"dialing\":") + (kiv.holder && *kiv.holder == session ? "true" : "false");
        const auto view = kiv.views.find(session);
        out += ",\"prompt\":";
        if (view != kiv.views.end() && view->second.prompt) {
            const Prompt& p = *view->second.prompt;
            out += "{\"id\":" + std::to_string(p.id) + ",\"select\":" + (p.select ? "true" : "false") +
                   ",\"tag\":" + JsonString(SjisToUtf8(p.tag)) + ",\"message\":" + JsonString(ShownText(p.message)) +
                   ",\"label\":" + JsonString(SjisToUtf8(p.label)) +
                   ",\"password\":" + (p.password ? "true" : "false") + ",\"items\":[";
            for (std::size_t i = 0; i < p.items.size(); ++i)
                out += (i ? "," : "") + JsonString(SjisToUtf8(p.items[i]));
            out += "]}";
        } else {
            out += "null";
        }
        out += ",\"notes\":[";
        if (view != kiv.views.end())
            for (std::size_t i = 0; i < view->second.notes.size(); ++i) {
                const Note& n = view->second.notes[i];
                out += (i ? "," : "") + std::string("{\"id\":") + std::to_string(n.id) +
                       ",\"text\":" + JsonString(ShownText(n.text)) + "}";
            }
        out += "]}";
    }
    return out + "]}";
}

}  // namespace kmconsole::web
