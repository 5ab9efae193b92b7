// The web console's decisions, apart from its HTTP server and its sockets: which Kivs are
// seen, the dialogue of each browser session with each Kiv, the answers it may send, and
// every HTTP request's checks (token, session, method, size, content). Texts from the wire
// are Shift-JIS; what the page gets and sends is UTF-8 JSON.
//
// One console is one computer to every Kiv, so two browsers behind it would share Kiv's
// control lock. The console therefore keeps the lock among its own sessions as Kiv keeps it
// among consoles: the session whose dial runs on a Kiv is the only one that may act on that
// Kiv until the dial's outcome arrives; and it lets one question per Kiv be on its way at a
// time, so each prompt goes back to the session that asked for it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kmconsole::web {

// A peer offering a menu, as the peer table holds it (Shift-JIS).
struct PeerInfo {
    std::string machineName, discrimination, handleName, ipAddress;
    bool menu = false;
};

// What the console must send, in the order asked.
struct Outgoing {
    enum class Kind { MenuCheck, InputReturn } kind;
    std::string machineName, discrimination;
    std::string tag, value;  // INPUT_RETURN's key and answer (Shift-JIS)
};

struct Request {
    std::string method, path;
    std::map<std::string, std::string> query;  // decoded
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

struct Response {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // A state request with nothing new yet: the server waits until Version() passes
    // waitSince or its time is up, then answers with StateJson(session).
    std::optional<std::uint64_t> waitSince;
    std::string session;
};

// The page's files, built into the program.
struct Asset {
    const char* path;
    const char* contentType;
    const unsigned char* data;
    std::size_t size;
};

// The status block of a main menu (Shift-JIS): control target, connection state and the two
// scheduled times, each empty when its line is missing. Nothing when none of them is there.
struct StatusBlock {
    std::string target, state, start, end;
};
std::optional<StatusBlock> ParseStatusBlock(const std::string& message);

inline constexpr std::size_t kMaxSessions = 32;
inline constexpr std::size_t kMaxNotesPerView = 20;
inline constexpr std::size_t kMaxAnswerBytes = 200;
inline constexpr std::uint64_t kAnswerWaitMs = 8000;      // a question unanswered this long is given up
inline constexpr std::uint64_t kDialHoldMaxMs = 600000;   // the longest a dial keeps the console's lock

class WebConsole {
public:
    // token: what every request must carry; random: fresh hex for session identifiers.
    WebConsole(std::string token, std::string menuDiscrimination, std::function<std::string()> random,
               std::vector<Asset> assets);

    // The peer table as it is now; Kivs no longer in it are forgotten.
    void SyncPeers(const std::vector<PeerInfo>& peers);
    // What a Kiv sent this console (Shift-JIS, as received).
    void OnInputLine(const std::string& machineName, const std::string& discrimination, const std::string& tag,
                     const std::string& message, const std::string& label, bool password);
    void OnInputSelect(const std::string& machineName, const std::string& discrimination, const std::string& tag,
                       const std::string& message, const std::string& list, const std::string& returns);
    void OnInputMessage(const std::string& machineName, const std::string& discrimination,
                        const std::string& message, std::uint64_t nowMs);
    void OnMenuNothing(const std::string& machineName, const std::string& discrimination);
    // Gives up questions unanswered for too long; call now and then.
    void Tick(std::uint64_t nowMs);

    Response Handle(const Request& request, std::uint64_t nowMs);
    // The page's view for one session (assumed valid).
    std::string StateJson(const std::string& session) const;
    std::vector<Outgoing> TakeOutgoing();
    // Grows with every change a page could show.
    std::uint64_t Version() const { return version_; }

private:
    struct Prompt {
        std::uint64_t id = 0;
        bool select = false;
        std::string tag, message, label;  // Shift-JIS
        bool password = false;
        std::vector<std::string> items, returns;
    };
    struct Note {
        std::uint64_t id;
        std::string text;  // Shift-JIS
    };
    struct View {
        std::optional<Prompt> prompt;
        std::deque<Note> notes;
    };
    struct Kiv {
        PeerInfo peer;
        std::string id;  // the page's name for it
        std::optional<StatusBlock> status;
        std::optional<std::string> asking;  // the session whose question is on its way
        std::uint64_t askedAt = 0;
        bool askedConnect = false;
        std::optional<std::string> holder;  // the session whose dial runs
        std::uint64_t heldSince = 0;
        std::string lastSession;
        std::map<std::string, View> views;
    };

    Response Error(int status, const std::string& code, const std::string& reason) const;
    Response Page(const Request& request, const std::string& path) const;
    Response Api(const Request& request, std::uint64_t nowMs);
    Response Open(const std::string& session, const std::string& kiv, std::uint64_t nowMs);
    Response Answer(const std::string& session, const std::string& kiv, std::int64_t promptId,
                    const std::optional<std::int64_t>& choice, const std::optional<std::string>& text,
                    std::uint64_t nowMs);
    std::optional<Response> MayAsk(const Kiv& kiv, const std::string& session, std::uint64_t nowMs) const;
    bool TokenMatches(const std::string& given) const;
    std::string NewSession(std::uint64_t nowMs);
    bool Touch(const std::string& session, std::uint64_t nowMs);
    Kiv* Find(const std::string& machineName, const std::string& discrimination);
    Kiv* FindById(const std::string& id);
    // The session a prompt from this Kiv belongs to (the one that asked), and the session a
    // closing message belongs to (the one that asked, else the one whose dial runs, else the
    // last one that asked).
    std::string Asker(Kiv& kiv);
    std::string Recipient(Kiv& kiv);
    void AddNote(View& view, const std::string& text);
    void Changed() { ++version_; }

    std::string token_, menuDisc_;
    std::function<std::string()> random_;
    std::vector<Asset> assets_;
    std::map<std::string, std::uint64_t> sessions_;  // id -> last request
    std::map<std::string, Kiv> kivs_;                // by machine name
    std::vector<Outgoing> outgoing_;
    std::uint64_t version_ = 1;
    std::uint64_t nextId_ = 1;
};


// A text as the page shows it: CR LF and lone CR become LF, Shift-JIS becomes UTF-8.
std::string ShownText(const std::string& sjis);

// Why an answer typed on the page cannot go on the wire (UTF-8 in), or nothing when it can.
std::optional<std::string> AnswerProblem(const std::string& utf8);

}  // namespace kmconsole::web
