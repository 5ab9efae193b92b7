// The texts the web console takes from Kivs and sends them: bounds on what the LAN may make it
// keep, what it reads in Kiv's menus (their status block, the start of a dial), and the check
// of an answer typed on the page before it goes on the wire. Texts from the wire are Shift-JIS;
// what the page sends is UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kmconsole::web {

// Every text from the LAN is cut to these sizes (Shift-JIS bytes) where it enters the console.
inline constexpr std::size_t kMaxNameBytes = 64;      // computer and handle names, labels
inline constexpr std::size_t kMaxItemBytes = 256;     // an item of a select prompt
inline constexpr std::size_t kMaxTextBytes = 2048;    // a prompt's question, a closing message
inline constexpr std::size_t kMaxStatusBytes = 128;   // one value of a status block
inline constexpr std::size_t kMaxItems = 64;          // items of one select prompt
inline constexpr std::size_t kMaxListItems = 256;     // items of a list looked at for them
inline constexpr std::size_t kMaxReturnBytes = 256;   // an item's value, sent back as it is
inline constexpr std::size_t kMaxTagBytes = 64;       // a prompt's key, sent back as it is
inline constexpr std::size_t kMaxAnswerBytes = 200;   // a typed answer (UTF-8)

// The text cut to at most maxBytes, at a character boundary, with "…" at the end when cut.
std::string BoundText(const std::string& sjis, std::size_t maxBytes);

// The status block of a main menu (Shift-JIS): control target, connection state and the two
// scheduled times, each empty when its line is missing. Nothing when none of them is there.
struct StatusBlock {
    std::string target, state, start, end;
};
std::optional<StatusBlock> ParseStatusBlock(const std::string& message);

// True when a Kiv's closing message says that the dial it was asked for has begun.
bool SaysDialStarted(const std::string& message);

// A text as the page shows it: CR LF and lone CR become LF, Shift-JIS becomes UTF-8.
std::string ShownText(const std::string& sjis);

// Why an answer typed on the page cannot go on the wire (UTF-8 in), or nothing when it can.
// The checks run on the Shift-JIS bytes that would be sent.
std::optional<std::string> AnswerProblem(const std::string& utf8);

}  // namespace kmconsole::web
