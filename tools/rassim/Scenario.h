// The simulator's scenario: a phonebook and, per entry, how a dial and a hang-up go.
// Plain text, bytes as they are (entry names in Shift-JIS); see README.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rassim {

struct Entry {
    enum class Dial { Connect, Fail, Refuse };

    std::string name;
    std::string phone;
    std::string user;
    std::string password;
    Dial dial = Dial::Connect;
    std::uint32_t dialMs = 2000;    // Connect, Fail: time to the outcome
    bool dialHeld = false;          // Connect: waits in RASCS_Authenticate for the driver's "complete"
    std::uint32_t dialError = 0;    // Fail, Refuse: the error code
    bool refuseWithHandle = false;  // Refuse: RasDialA still hands out a handle
    std::uint32_t paramsError = 0;  // non-zero: RasGetEntryDialParamsA fails with it
    std::optional<std::uint32_t> hangUpMs = 200;  // nullopt: a hang-up is never released
    bool notifyOnCancel = false;  // a hang-up during the dial is still reported (RASCS_Disconnected)
};

struct Scenario {
    std::vector<Entry> entries;
    const Entry* Find(const std::string& name) const;
};

// Parses a scenario; on failure returns nothing and sets error to "line N: what".
std::optional<Scenario> ParseScenario(const std::string& text, std::string& error);

// The phonebook used when no scenario file is given: three entries.
extern const char* const kDemoScenario;

}  // namespace rassim
