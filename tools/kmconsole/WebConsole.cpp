#include "WebConsole.h"

#include "Console.h"
#include "RemoteTexts.h"
#include "WebJson.h"

namespace kmconsole::web {
namespace {

// The console's own notes (Shift-JIS, as on the wire).
const char kNoReply[] = "Kivから応答がありません。もう一度お試しください。";
const char kNoMenu[] = "このコンピュータはメニューを提供していません。";

const char kTokenHeader[] = "x-kiv-token";
const char kSessionHeader[] = "x-kiv-session";

std::string Header(const Request& r, const char* name)
{
    const auto it = r.headers.find(name);
    return it == r.headers.end() ? std::string() : it->second;
}

bool IsHexId(const std::string& s)
{
    return !s.empty() && s.size() <= 64 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

Response Refusal(int status, const std::string& code, const std::string& reason)
{
    Response r = ErrorResponse(status, code, reason);
    r.close = true;
    return r;
}

Response Refusal(int status, const std::string& code, const std::string& reason, const char* allow)
{
    Response r = Refusal(status, code, reason);
    r.headers.push_back({"Allow", allow});
    return r;
}

// The items of a select list ("&:" between them), no more than max of them.
std::vector<std::string> SplitList(const std::string& list, std::size_t max)
{
    std::vector<std::string> items;
    std::size_t from = 0;
    while (!list.empty() && items.size() < max) {
        const auto separator = list.find(::kiv::kRemoteListSeparator, from);
        items.push_back(list.substr(from, separator == std::string::npos ? std::string::npos : separator - from));
        if (separator == std::string::npos)
            break;
        from = separator + 2;
    }
    return items;
}

Response Accepted()
{
    Response r;
    r.status = 202;
    r.body = "{\"sent\":true}";
    return r;
}

}  // namespace

WebConsole::WebConsole(std::string token, std::string menuDiscrimination, std::function<std::string()> random,
                       std::vector<Asset> assets)
    : gate_(std::move(token)), menuDisc_(std::move(menuDiscrimination)), random_(std::move(random)),
      assets_(std::move(assets))
{
}

void WebConsole::SyncPeers(const std::vector<PeerInfo>& peers)
{
    // A computer name longer than any Windows allows, or an address that is none, is no Kiv.
    std::map<std::string, const PeerInfo*> seen;
    for (const auto& p : peers)
        if (p.menu && p.discrimination == menuDisc_ && !p.machineName.empty() &&
            p.machineName.size() <= kMaxNameBytes && IsDottedQuad(p.ipAddress))
            seen.emplace(p.machineName, &p);
    for (auto it = kivs_.begin(); it != kivs_.end();) {
        const auto now = seen.find(it->first);
        if (now == seen.end() || now->second->ipAddress != it->second.peer.ipAddress ||
            now->second->source != it->second.peer.source) {
            Forget(it->second);
            it = kivs_.erase(it);
            Changed();
            continue;
        }
        const std::string handle = BoundText(now->second->handleName, kMaxNameBytes);
        if (it->second.peer.handleName != handle) {
            it->second.peer.handleName = handle;
            Changed();
        }
        ++it;
    }
    std::size_t unlisted = 0;
    for (const auto& [machine, p] : seen) {
        if (kivs_.count(machine))
            continue;
        if (kivs_.size() >= kMaxKivs) {
            ++unlisted;
            continue;
        }
        Kiv kiv;
        kiv.peer = *p;
        kiv.peer.handleName = BoundText(p->handleName, kMaxNameBytes);
        kiv.id = "k" + std::to_string(nextId_++);
        kivs_.emplace(machine, std::move(kiv));
        Changed();
    }
    if (unlisted != unlisted_) {
        unlisted_ = unlisted;
        Changed();
    }
}

void WebConsole::Forget(const Kiv& kiv)
{
    for (auto& [id, session] : sessions_)
        if (session.prompt && session.prompt->kiv == kiv.id)
            session.prompt.reset();
}

WebConsole::Kiv* WebConsole::Find(const Sender& from)
{
    if (from.discrimination != menuDisc_)
        return nullptr;
    const auto it = kivs_.find(from.machineName);
    if (it == kivs_.end())
        return nullptr;
    const PeerInfo& peer = it->second.peer;
    return from.address == (peer.source.empty() ? peer.ipAddress : peer.source) ? &it->second : nullptr;
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

void WebConsole::AddNote(const std::string& session, const Kiv& kiv, const std::string& text)
{
    const auto it = sessions_.find(session);
    if (it == sessions_.end())
        return;
    auto& notes = it->second.notes;
    notes.push_back({nextId_++, kiv.id, kiv.peer.machineName, BoundText(text, kMaxTextBytes)});
    while (notes.size() > kMaxNotesPerSession)
        notes.pop_front();
}

void WebConsole::OnInputLine(const Sender& from, const std::string& tag, const std::string& message,
                             const std::string& label, bool password)
{
    Kiv* kiv = Find(from);
    Prompt* p = kiv ? NewPrompt(*kiv, tag) : nullptr;
    if (!p)
        return;
    p->message = BoundText(message, kMaxTextBytes);
    p->label = BoundText(label, kMaxNameBytes);
    p->password = password;
    Changed();
}

void WebConsole::OnInputSelect(const Sender& from, const std::string& tag, const std::string& message,
                               const std::string& list, const std::string& returns)
{
    Kiv* kiv = Find(from);
    Prompt* p = kiv ? NewPrompt(*kiv, tag) : nullptr;
    if (!p)
        return;
    p->select = true;
    p->message = BoundText(message, kMaxTextBytes);
    // Only the menu this console asked for tells the Kiv's state.
    if (auto status = ParseStatusBlock(p->message))
        kiv->status = std::move(status);
    // Each item with the value it returns; one whose value is too long to keep cannot be answered.
    const auto items = SplitList(list, kMaxListItems);
    const auto values = SplitList(returns, kMaxListItems);
    for (std::size_t i = 0; i < items.size() && i < values.size() && p->items.size() < kMaxItems; ++i)
        if (values[i].size() <= kMaxReturnBytes) {
            p->items.push_back(BoundText(items[i], kMaxItemBytes));
            p->returns.push_back(values[i]);
        }
    Changed();
}

WebConsole::Prompt* WebConsole::NewPrompt(Kiv& kiv, const std::string& tag)
{
    if (tag.size() > kMaxTagBytes)  // a key that long could not be sent back as it is
        return nullptr;
    const std::string who = Asker(kiv);
    if (who.empty())
        return nullptr;
    Prompt p;
    p.id = nextId_++;
    p.kiv = kiv.id;
    p.tag = tag;
    auto& prompt = sessions_[who].prompt;
    prompt = std::move(p);
    return &*prompt;
}

void WebConsole::OnInputMessage(const Sender& from, const std::string& message, std::uint64_t nowMs)
{
    Kiv* kiv = Find(from);
    if (!kiv)
        return;
    const std::string who = Recipient(*kiv);
    const bool dialStarted = kiv->asking && kiv->askedConnect && SaysDialStarted(message);
    if (dialStarted && !who.empty()) {
        kiv->holder = who;
        kiv->heldSince = nowMs;
    } else if (kiv->holder && *kiv->holder == who) {
        kiv->holder.reset();  // the outcome of its dial, or the end of another action
    }
    kiv->asking.reset();
    kiv->askedConnect = false;
    if (!who.empty()) {
        auto& prompt = sessions_[who].prompt;
        if (prompt && prompt->kiv == kiv->id)
            prompt.reset();
        AddNote(who, *kiv, message);
    }
    Changed();
}

void WebConsole::OnMenuNothing(const Sender& from)
{
    Kiv* kiv = Find(from);
    if (!kiv)
        return;
    const std::string who = Recipient(*kiv);
    kiv->asking.reset();
    kiv->askedConnect = false;
    if (!who.empty())
        AddNote(who, *kiv, kNoMenu);
    Changed();
}

void WebConsole::Tick(std::uint64_t nowMs)
{
    for (auto& [machine, kiv] : kivs_) {
        if (kiv.asking && nowMs - kiv.askedAt >= kAnswerWaitMs) {
            AddNote(*kiv.asking, kiv, kNoReply);
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

std::optional<std::string> WebConsole::NewSession(std::uint64_t nowMs)
{
    if (sessions_.size() >= kMaxSessions) {
        // The longest idle session gives way, unless a dial of its own runs: its lock stays.
        const auto holds = [this](const std::string& session) {
            for (const auto& [machine, kiv] : kivs_)
                if (kiv.holder == session)
                    return true;
            return false;
        };
        auto oldest = sessions_.end();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
            if (!holds(it->first) && (oldest == sessions_.end() || it->second.lastSeen < oldest->second.lastSeen))
                oldest = it;
        if (oldest == sessions_.end())
            return std::nullopt;
        const std::string gone = oldest->first;
        sessions_.erase(oldest);
        for (auto& [machine, kiv] : kivs_)
            if (kiv.asking == gone) {
                kiv.asking.reset();
                kiv.askedConnect = false;
            }
    }
    std::string id;
    do
        id = random_();
    while (sessions_.count(id));
    sessions_[id].lastSeen = nowMs;
    return id;
}

bool WebConsole::Touch(const std::string& session, std::uint64_t nowMs)
{
    if (!IsHexId(session))
        return false;
    const auto it = sessions_.find(session);
    if (it == sessions_.end())
        return false;
    it->second.lastSeen = nowMs;
    return true;
}

std::optional<Response> WebConsole::Screen(const Request& head, std::uint64_t nowMs)
{
    const std::string host = Header(head, "host");
    if (host.empty())
        return Refusal(400, "host", "the request names no Host");
    if (!HostMatches(host, head.local, head.localPort))
        return Refusal(421, "host",
                       "this console answers to its address, " + head.local + ":" + std::to_string(head.localPort) +
                           ", not to another name");
    const std::string& path = head.path;
    const bool api = path.rfind("/api/", 0) == 0;
    if (api) {
        switch (gate_.Check(head.client, Header(head, kTokenHeader), nowMs)) {
        case TokenGate::Verdict::Pass:
            break;
        case TokenGate::Verdict::Wrong:
            return Refusal(401, "token", "the X-Kiv-Token header is missing or wrong");
        case TokenGate::Verdict::Limited: {
            Response r = Refusal(429, "token", "too many wrong tokens from this address; wait and try again");
            r.headers.push_back({"Retry-After", std::to_string((gate_.WaitMs(head.client, nowMs) + 999) / 1000)});
            return r;
        }
        }
        if (path == "/api/session" || path == "/api/open" || path == "/api/answer") {
            if (head.method != "POST")
                return Refusal(405, "method", "use POST", "POST");
        } else if (path == "/api/state") {
            if (head.method != "GET")
                return Refusal(405, "method", "use GET", "GET");
        } else {
            return Refusal(404, "path", "no such request");
        }
    } else if (head.method != "GET" && head.method != "HEAD") {
        return Refusal(405, "method", "only GET is served here", "GET");
    }
    // A body is only ever a small JSON object, sent whole with its length.
    if (head.headers.count("transfer-encoding"))
        return Refusal(411, "length", "send the body with a Content-Length; transfer codings are not accepted");
    const std::string encoding = Header(head, "content-encoding");
    if (!encoding.empty() && encoding != "identity")
        return Refusal(415, "encoding", "encoded bodies are not accepted");
    const std::string length = Header(head, "content-length");
    const bool hasBody = !length.empty() && length.find_first_not_of('0') != std::string::npos;
    if (head.method != "POST") {
        if (hasBody)
            return Refusal(400, "body", "this request takes no body");
        return std::nullopt;
    }
    if (length.empty())
        return Refusal(411, "length", "a POST needs a Content-Length");
    if (path != "/api/session" && Header(head, "content-type").rfind("application/json", 0) != 0)
        return Refusal(415, "type", "the body must be application/json");
    return std::nullopt;
}

Response WebConsole::Handle(const Request& request, std::uint64_t nowMs)
{
    if (request.path.rfind("/api/", 0) == 0)
        return Api(request, nowMs);
    return Page(request);
}

Response WebConsole::Page(const Request& request) const
{
    // The page holds no secret: the token comes with the link's fragment, which the browser
    // never sends, and the page keeps it for this origin only.
    const std::string wanted = request.path == "/" ? "/index.html" : request.path;
    for (const auto& a : assets_)
        if (wanted == a.path) {
            Response r;
            r.contentType = a.contentType;
            r.body.assign(reinterpret_cast<const char*>(a.data), a.size);
            return r;
        }
    return ErrorResponse(404, "path", "no such page");
}

Response WebConsole::Api(const Request& request, std::uint64_t nowMs)
{
    const std::string& path = request.path;
    if (path == "/api/session") {
        const auto session = NewSession(nowMs);
        if (!session)
            return ErrorResponse(503, "sessions", "every session of this console has a dial running");
        Response r;
        r.body = "{\"session\":" + JsonString(*session) + "}";
        return r;
    }
    const std::string session = Header(request, kSessionHeader);
    if (!Touch(session, nowMs))
        return ErrorResponse(403, "session", "the X-Kiv-Session header names no session; ask for a new one");
    if (path == "/api/state") {
        std::uint64_t since = 0;
        if (const auto it = request.query.find("since"); it != request.query.end()) {
            const std::string& s = it->second;
            if (s.empty() || s.size() > 18 || s.find_first_not_of("0123456789") != std::string::npos)
                return ErrorResponse(400, "since", "since must be a whole number");
            since = std::stoull(s);
        }
        Response r;
        r.session = session;
        if (since >= version_)
            r.waitSince = since;
        else
            r.body = StateJson(session);
        return r;
    }
    const JsonParse parsed = ParseFlatObject(request.body);
    if (!parsed.object)
        return ErrorResponse(400, "json", parsed.error);
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
        return ErrorResponse(400, "kiv", "\"kiv\" must name a Kiv of the list");
    for (const auto& [name, value] : o)
        if (name != "kiv" && name != "prompt" && name != "choice" && name != "text")
            return ErrorResponse(400, "member", "unknown member " + JsonString(IsUtf8(name) ? name : "?"));
    if (path == "/api/open")
        return Open(session, *kiv, nowMs);
    const auto prompt = number("prompt");
    if (!prompt)
        return ErrorResponse(400, "prompt", "\"prompt\" must be the number of the prompt being answered");
    const auto choice = number("choice");
    const auto typed = text("text");
    if (o.count("choice") && !choice)
        return ErrorResponse(400, "choice", "\"choice\" must be a whole number");
    if (o.count("text") && !typed)
        return ErrorResponse(400, "text", "\"text\" must be text");
    if (choice.has_value() == typed.has_value())
        return ErrorResponse(400, "answer", "give either \"choice\" or \"text\"");
    return Answer(session, *kiv, *prompt, choice, typed, nowMs);
}

std::optional<Response> WebConsole::MayAsk(const Kiv& kiv, const std::string& session, std::uint64_t nowMs) const
{
    if (kiv.holder && *kiv.holder != session)
        return ErrorResponse(409, "locked", "another user of this console is in control while the dial runs");
    if (kiv.asking && *kiv.asking != session && nowMs - kiv.askedAt < kAnswerWaitMs)
        return ErrorResponse(409, "busy", "another user of this console is waiting for this Kiv's answer");
    return std::nullopt;
}

Response WebConsole::Open(const std::string& session, const std::string& id, std::uint64_t nowMs)
{
    Kiv* kiv = FindById(id);
    if (!kiv)
        return ErrorResponse(404, "kiv", "no such Kiv is seen");
    if (auto refused = MayAsk(*kiv, session, nowMs))
        return *refused;
    kiv->asking = session;
    kiv->askedAt = nowMs;
    kiv->askedConnect = false;
    kiv->lastSession = session;
    sessions_[session].prompt.reset();
    outgoing_.push_back({Outgoing::Kind::MenuCheck, kiv->peer.ipAddress, kiv->peer.discrimination, {}, {}});
    Changed();
    return Accepted();
}

Response WebConsole::Answer(const std::string& session, const std::string& id, std::int64_t promptId,
                            const std::optional<std::int64_t>& choice, const std::optional<std::string>& text,
                            std::uint64_t nowMs)
{
    Kiv* kiv = FindById(id);
    if (!kiv)
        return ErrorResponse(404, "kiv", "no such Kiv is seen");
    if (auto refused = MayAsk(*kiv, session, nowMs))
        return *refused;
    auto& open = sessions_[session].prompt;
    if (!open || open->kiv != kiv->id || open->id != static_cast<std::uint64_t>(promptId))
        return ErrorResponse(409, "prompt", "that prompt is no longer open");
    std::string value;
    if (open->select) {
        if (!choice)
            return ErrorResponse(400, "choice", "this prompt is answered with \"choice\"");
        if (*choice < 0 || static_cast<std::size_t>(*choice) >= open->returns.size())
            return ErrorResponse(400, "choice", "\"choice\" is not an item of the list");
        value = open->returns[static_cast<std::size_t>(*choice)];
    } else {
        if (!text)
            return ErrorResponse(400, "text", "this prompt is answered with \"text\"");
        if (auto problem = AnswerProblem(*text))
            return ErrorResponse(400, "text", *problem);
        value = Utf8ToSjis(*text);
    }
    kiv->asking = session;
    kiv->askedAt = nowMs;
    kiv->askedConnect = open->select && open->tag == ::kiv::kRemoteKeyMenu && value == ::kiv::kRemoteAnswerConnect;
    kiv->lastSession = session;
    outgoing_.push_back(
        {Outgoing::Kind::InputReturn, kiv->peer.ipAddress, kiv->peer.discrimination, open->tag, value});
    open.reset();  // the typed text, a password too, is not kept
    Changed();
    return Accepted();
}

std::string WebConsole::StateJson(const std::string& session) const
{
    const auto own = sessions_.find(session);
    const Prompt* prompt = own != sessions_.end() && own->second.prompt ? &*own->second.prompt : nullptr;
    std::string out = "{\"version\":" + std::to_string(version_) + ",\"unlisted\":" + std::to_string(unlisted_) +
                      ",\"kivs\":[";
    bool firstKiv = true;
    for (const auto& [machine, kiv] : kivs_) {
        out += firstKiv ? "" : ",";
        firstKiv = false;
        out += "{\"id\":" + JsonString(kiv.id) + ",\"machine\":" + JsonString(SjisToUtf8(kiv.peer.machineName)) +
               ",\"handle\":" + JsonString(SjisToUtf8(kiv.peer.handleName)) +
               ",\"address\":" + JsonString(kiv.peer.ipAddress) + ",\"status\":";
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
        out += ",\"prompt\":";
        if (prompt && prompt->kiv == kiv.id) {
            const Prompt& p = *prompt;
            // The shutdown's "yes" is shown as the dangerous choice it is.
            int danger = -1;
            for (std::size_t i = 0; i < p.returns.size(); ++i)
                if (p.select && p.tag == ::kiv::kRemoteKeyWindowsEnd && p.returns[i] == ::kiv::kRemoteAnswerYes)
                    danger = static_cast<int>(i);
            out += "{\"id\":" + std::to_string(p.id) + ",\"select\":" + (p.select ? "true" : "false") +
                   ",\"message\":" + JsonString(ShownText(p.message)) + ",\"label\":" + JsonString(SjisToUtf8(p.label)) +
                   ",\"password\":" + (p.password ? "true" : "false") + ",\"danger\":" + std::to_string(danger) +
                   ",\"items\":[";
            for (std::size_t i = 0; i < p.items.size(); ++i)
                out += (i ? "," : "") + JsonString(SjisToUtf8(p.items[i]));
            out += "]}";
        } else {
            out += "null";
        }
        out += "}";
    }
    out += "],\"notes\":[";
    if (own != sessions_.end())
        for (std::size_t i = 0; i < own->second.notes.size(); ++i) {
            const Note& n = own->second.notes[i];
            out += (i ? "," : "") + std::string("{\"id\":") + std::to_string(n.id) + ",\"kiv\":" + JsonString(n.kiv) +
                   ",\"from\":" + JsonString(SjisToUtf8(n.from)) + ",\"text\":" + JsonString(ShownText(n.text)) + "}";
        }
    return out + "]}";
}

}  // namespace kmconsole::web
