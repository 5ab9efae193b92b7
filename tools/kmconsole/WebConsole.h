// The web console's decisions, apart from its HTTP server and its sockets: which Kivs are
// listed, the dialogue of each browser session with them, the answers it may send, and every
// HTTP request's checks (Host, token, method, path, body, content). Texts from the wire are
// Shift-JIS; what the page gets and sends is UTF-8 JSON.
//
// A Kiv is the peer table's entry the user chose: its computer name, kind and address. Every
// message for it goes to that address and kind, and only what comes from the address its
// announcement came from, under that name and kind, is taken as its answer.
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

#include "WebGate.h"
#include "WebRequest.h"
#include "WebText.h"

namespace kmconsole::web {

// A peer as the peer table holds it (Shift-JIS), with the address its announcement came from
// (the one its datagrams come from; empty: the address it announced).
struct PeerInfo {
    std::string machineName, discrimination, handleName, ipAddress;
    bool menu = false;
    std::string source{};
};

// Who sent a message: the names in its fields and the address its datagram came from.
struct Sender {
    std::string machineName, discrimination, address;
};

// What the console must send, in the order asked: to the Kiv's address and kind.
struct Outgoing {
    enum class Kind { MenuCheck, InputReturn } kind;
    std::string address, discrimination;
    std::string tag, value;  // INPUT_RETURN's key and answer (Shift-JIS)
};

// The page's files, built into the program.
struct Asset {
    const char* path;
    const char* contentType;
    const unsigned char* data;
    std::size_t size;
};

inline constexpr std::size_t kMaxSessions = 32;
inline constexpr std::size_t kMaxKivs = 32;             // listed at once; the rest are counted
inline constexpr std::size_t kMaxNotesPerSession = 20;
inline constexpr std::uint64_t kAnswerWaitMs = 8000;     // a question unanswered this long is given up
inline constexpr std::uint64_t kDialHoldMaxMs = 600000;  // the longest a dial keeps the console's lock

class WebConsole {
public:
    // token: what every API request must carry; random: fresh hex for session identifiers.
    WebConsole(std::string token, std::string menuDiscrimination, std::function<std::string()> random,
               std::vector<Asset> assets);

    // The peer table as it is now; Kivs no longer in it are forgotten, and so is a Kiv whose
    // address or source changed (the user chose the one at the old address).
    void SyncPeers(const std::vector<PeerInfo>& peers);
    // What a peer sent this console (Shift-JIS, as received).
    void OnInputLine(const Sender& from, const std::string& tag, const std::string& message, const std::string& label,
                     bool password);
    void OnInputSelect(const Sender& from, const std::string& tag, const std::string& message,
                       const std::string& list, const std::string& returns);
    void OnInputMessage(const Sender& from, const std::string& message, std::uint64_t nowMs);
    void OnMenuNothing(const Sender& from);
    // Gives up questions unanswered for too long; call now and then.
    void Tick(std::uint64_t nowMs);

    // A request's head, before any of its body is read: the answer that refuses it (and ends
    // its connection), or nothing when its body may be read and Handle called.
    std::optional<Response> Screen(const Request& head, std::uint64_t nowMs);
    // A request that Screen let through, with its body.
    Response Handle(const Request& request, std::uint64_t nowMs);
    // The page's view for one session.
    std::string StateJson(const std::string& session) const;
    std::vector<Outgoing> TakeOutgoing();
    // Grows with every change a page could show.
    std::uint64_t Version() const { return version_; }

private:
    struct Prompt {
        std::uint64_t id = 0;
        std::string kiv;  // the id of the Kiv that asked
        bool select = false;
        std::string tag, message, label;  // Shift-JIS
        bool password = false;
        std::vector<std::string> items, returns;
    };
    struct Note {
        std::uint64_t id;
        std::string kiv, from, text;  // the Kiv's id, its name and the text (Shift-JIS)
    };
    struct Session {
        std::uint64_t lastSeen = 0;
        std::optional<Prompt> prompt;  // one at a time: the page shows one Kiv's dialogue
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
    };

    Response Page(const Request& request) const;
    Response Api(const Request& request, std::uint64_t nowMs);
    Response Open(const std::string& session, const std::string& kiv, std::uint64_t nowMs);
    Response Answer(const std::string& session, const std::string& kiv, std::int64_t promptId,
                    const std::optional<std::int64_t>& choice, const std::optional<std::string>& text,
                    std::uint64_t nowMs);
    std::optional<Response> MayAsk(const Kiv& kiv, const std::string& session, std::uint64_t nowMs) const;
    std::optional<std::string> NewSession(std::uint64_t nowMs);
    bool Touch(const std::string& session, std::uint64_t nowMs);
    Kiv* Find(const Sender& from);
    Kiv* FindById(const std::string& id);
    void Forget(const Kiv& kiv);
    // The session a prompt from this Kiv belongs to (the one that asked), and the session a
    // closing message belongs to (the one that asked, else the one whose dial runs, else the
    // last one that asked).
    std::string Asker(Kiv& kiv);
    std::string Recipient(Kiv& kiv);
    // A new prompt of this Kiv's in the session that asked, in place of the one it had; null when
    // no session asked or the key is too long to be sent back as it is.
    Prompt* NewPrompt(Kiv& kiv, const std::string& tag);
    void AddNote(const std::string& session, const Kiv& kiv, const std::string& text);
    void Changed() { ++version_; }

    TokenGate gate_;
    std::string menuDisc_;
    std::function<std::string()> random_;
    std::vector<Asset> assets_;
    std::map<std::string, Session> sessions_;
    std::map<std::string, Kiv> kivs_;  // by computer name (one per name among the menu's kind)
    std::size_t unlisted_ = 0;         // Kivs seen beyond kMaxKivs
    std::vector<Outgoing> outgoing_;
    std::uint64_t version_ = 1;
    std::uint64_t nextId_ = 1;
};

}  // namespace kmconsole::web
