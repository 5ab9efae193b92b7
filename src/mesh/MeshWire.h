// KestrelMesh wire format: fields, identifiers, framing into datagrams and unframing.
// Everything here is pure byte-string work with no component state. The code holds no
// literal outside ASCII, so it compiles with any execution character set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::mesh {

inline constexpr const char* kFieldSeparator = "&|";
inline constexpr std::size_t kIdentifierLength = 22;
inline constexpr std::size_t kPieceSize = 510;       // framed bytes per datagram
inline constexpr std::size_t kMaxDatagramSize = 512;  // sequence byte + piece + 0x00
inline constexpr std::size_t kMaxPieces = 255;        // the sequence byte's range
inline constexpr std::size_t kMaxMessageLength = 99999;  // the five-digit length field

// Field `index` of text split at separator. Each step deletes the separator it found before
// searching for the next one, so bytes brought together by a deletion can form a new
// separator; peers read fields this way, so the result must stay exactly this.
std::string SplitField(const std::string& separator, const std::string& text, int index);
std::string GetField(const std::string& text, int index);
// Fields 0 to lastIndex at once, in one pass over the text: field i equals SplitField of i.
// Fields behind the last one present are left out (they read as empty).
std::vector<std::string> SplitFields(const std::string& separator, std::string_view text, int lastIndex);
// The same fields 0 to maxFields - 1 as views, without copies where they are plain pieces of
// the text (the usual case); otherwise `spare` holds them. Returns how many are present.
std::size_t SplitFieldViews(std::string_view separator, std::string_view text, std::string_view* fields,
                            std::size_t maxFields, std::vector<std::string>& spare);

// IPv4 address parsing as the classic inet_addr does it: one to four parts, each decimal,
// octal (leading 0) or hexadecimal (0x); ends at the end of the text or at a blank.
// Returns the address with its first byte in the highest bits; nothing for no address and
// for 255.255.255.255 (which inet_addr cannot tell from its error value).
std::optional<std::uint32_t> InetAddr(const std::string& text);
// Dotted decimal form of an address from InetAddr.
std::string InetNtoa(std::uint32_t address);
// True when text is an IPv4 address; text is then rewritten in canonical form.
bool NormalizeAddress(std::string& text);

// Decimal integer as the receivers read it: leading blanks, an optional sign, digits, nothing
// behind them, within 32 bits. Nothing for anything else.
std::optional<std::int32_t> ParseInteger(std::string_view text);
std::int32_t ParseIntegerOr(std::string_view text, std::int32_t fallback);

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The 22-byte message identifier: "%4d%2d%2d%2d%2d%2d%3d%5d" of the local time and a random
// number 0..99999.
std::string MakeIdentifier(const LocalDateTime& time, int random);

// The time a message was handled, in Shift-JIS: "2026年12月06日 午前 9時05分03秒".
std::string FormatRecvTime(const LocalDateTime& time);

// Framed text of a message text: flag byte, then the five-digit length and the text with
// CR LF carried as "\|", scrambled when security is set.
std::string FrameText(const std::string& messageText, bool security);
// The datagrams of a framed text: sequence byte, up to 510 bytes, 0x00. Empty when the
// framed text needs more than 255 datagrams (the sequence byte cannot number them).
std::vector<std::string> CutDatagrams(const std::string& framed);

// The piece a datagram carries: the bytes after the sequence byte up to the first 0x00.
std::string_view DatagramPiece(const char* data, std::size_t size);

// Joins the first `count` pieces (all by default) and tries to read one message out of them.
// Returns the message text when complete, nothing while incomplete. Takes time linear in
// the bytes joined.
std::optional<std::string> UnframePieces(const std::vector<std::string>& pieces,
                                         std::size_t count = static_cast<std::size_t>(-1));

// What the first datagram of a message tells, read with one decoding of its piece: the size of
// the framed text, from the length field at its start, taking the scrambling into account;
// and when that piece is all of the message, what UnframePieces makes of it. No size when
// the piece holds no readable length field (or, scrambled, is not hexadecimal throughout),
// or when the length asks for more datagrams than a sender can number: such a message can
// never complete.
struct FirstPiece {
    std::optional<std::size_t> framed;
    std::optional<std::string> message;
};
FirstPiece ReadFirstPiece(std::string_view piece);
// The datagrams a framed text of that size goes out in, and the size of piece `position`.
std::size_t PieceCount(std::size_t framedSize);
std::size_t PieceSize(std::size_t framedSize, std::size_t position);

// Builds "tag&|f1&|f2..." from a type tag and its fields.
std::string BuildMessage(const std::string& typeTag, const std::vector<std::string>& fields);

}  // namespace kiv::mesh
