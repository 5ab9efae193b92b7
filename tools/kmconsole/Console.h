// The console's own logic, apart from its terminal and its sockets: text conversion,
// escaping for the line-per-message output, and picking the answer to a select prompt.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kmconsole {

// Shift-JIS (code page 932) to UTF-8 and back; bytes that do not convert become "?".
std::string SjisToUtf8(const std::string& text);
std::string Utf8ToSjis(const std::string& text);

// One field of a machine-readable line: backslash, tab, CR and LF escaped.
std::string Escape(const std::string& text);

// Items of a select list ("&:" between them).
std::vector<std::string> SplitItems(const std::string& list);

// The value to send for an answer to a select prompt: "#N" (or, typed interactively, "N")
// picks the N-th item's return value; anything else is sent as it is.
std::string SelectAnswer(const std::string& answer, const std::vector<std::string>& returns, bool bareNumbers);

// What the Error of OnErrorFileSend and of OnErrorFileRecv means, in a few words.
std::string FileSendErrorText(int error);
std::string FileRecvErrorText(int error);

// The name under which a file offered by a peer is saved in the receiving folder: the last
// part of the offered name (Shift-JIS, as on the wire), or nothing when the name must be
// refused: empty, "." or "..", ".." anywhere in its path, a drive or stream (":"), characters
// Windows does not allow in names, a Shift-JIS lead byte without a valid trail byte, a
// trailing dot or blank, or a device name (CON, NUL, COM1, LPT1, ... also with an extension).
std::optional<std::string> SafeReceiveName(const std::string& offered);

}  // namespace kmconsole
