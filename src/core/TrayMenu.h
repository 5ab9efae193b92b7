// The tray icon's popup menu as data: what the window side builds and shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kiv {

// Captions of the popup menu, in their order ("-" is a separator).
inline constexpr char kMenuOption[] = "オプション(&O)";
inline constexpr char kMenuTarget[] = "制御対象(&T)";
inline constexpr char kMenuConnect[] = "接続(&C)";
inline constexpr char kMenuDeconnect[] = "切断(&D)";
inline constexpr char kMenuHelp[] = "ヘルプ(&H)";
inline constexpr char kMenuVersion[] = "バージョン情報(&A)";
inline constexpr char kMenuEnd[] = "終了(&X)";

struct TaskMenuState {
    // One radio item per phonebook entry, in phonebook order.
    std::vector<std::string> Targets;
    // The item that equals Target; nothing when none does.
    std::optional<std::size_t> CheckedTarget;
    // Enabled state of "接続(&C)" and "切断(&D)"; nothing leaves the item as it was.
    std::optional<bool> ConnectEnabled;
    std::optional<bool> DeconnectEnabled;
};

}  // namespace kiv
