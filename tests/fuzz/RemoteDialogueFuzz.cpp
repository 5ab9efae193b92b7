// libFuzzer target: the remote control dialogue of the main form, driven by sequences of menu
// requests, answers under every key, logouts, passing time and dial-up events from a few
// consoles at a few addresses, over the fakes of the unit tests. Besides crashes it checks
// the password's promise: with the password required, nothing is dialled, hung up, switched
// or shut down for a console that has not given it from its address within ten minutes. The
// folder of the settings file is made once; each input starts with a fresh form and no file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "Fakes.h"
#include "FuzzInput.h"
#include "RemoteMenu.h"
#include "RemoteRights.h"

using kiv::fuzz::Check;
using kiv::fuzz::Reader;

namespace {

const char* const kMachines[] = {"PC01", "pc01", "PC02", "EVIL%A4%D", ""};
const char* const kAddresses[] = {"192.168.1.10", "192.168.1.11", "10.0.0.66"};
const char* const kHandles[] = {"Taro", "evil%A1%D%S%C", ""};
const char* const kKeys[] = {"Password", "Menu", "DialupChange", "WindowsEnd", "menu", ""};
const char* const kAnswers[] = {"pw",  "Connect", "Deconnect", "Change", "End", "Yes", "No",
                                "■ A", "■ Office", "キャンセル", "",     "■ ",  "■ Gone"};

// What the harness knows of rights, more generous than the program may be: any right answer
// under "Password" counts, whatever the checks around it said.
struct Model {
    std::map<std::pair<std::string, std::string>, std::uint32_t> heard;
    bool Holds(const std::string& m, const std::string& a, std::uint32_t now) const
    {
        const auto it = heard.find({m, a});
        return it != heard.end() && now - it->second < kiv::kRemoteRightLifetimeMs;
    }
};

int Actions(const kiv::test::MainFormFixture& f, const std::string& target)
{
    int count = f.shutdown.requests + (f.form.Settings.Target != target ? 1 : 0);
    for (const auto& call : f.ras.calls)
        if (call.rfind("Dial", 0) == 0 || call.rfind("HangUp", 0) == 0 || call == "CancelDial")
            ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kiv::test::TempDir folder;
    std::remove(folder.File("Kiv.INI").c_str());
    kiv::test::MainFormFixture f{folder};
    Reader in{data, size};
    f.ras.entries = {"A", "B", "Office"};
    f.form.Settings.Target = "Office";
    f.form.Settings.StatusAlpha = (in.Byte() & 1) != 0;
    f.form.Settings.KMSPasswordFlag = (in.Byte() & 3) != 0;
    f.form.Settings.KMSPassword = "pw";
    f.form.Settings.KMSComputer = (in.Byte() & 3) == 0;
    f.form.AllowedComputers = {"pc01", "pc02"};
    f.vss.DefaultIniFilePath = f.IniPath();
    Model model;

    while (in.More()) {
        const std::uint8_t op = in.Byte();
        const std::string machine = in.Pick(kMachines);
        const std::string address = in.Pick(kAddresses);
        const std::string handle = in.Pick(kHandles);
        f.kms.requestSource = address;
        const std::string targetBefore = f.form.Settings.Target;
        const int actionsBefore = Actions(f, targetBefore);
        const std::uint32_t now = f.clock.time.now;
        bool mayAct = true;
        switch (op % 8) {
        case 0:
            f.kms.MenuRequest(handle, machine, "KMC");
            if (model.Holds(machine, address, now))
                model.heard[{machine, address}] = now;
            mayAct = !f.form.Settings.KMSPasswordFlag;
            break;
        case 1:
        case 2:
        case 3: {
            const std::string key = in.Pick(kKeys);
            const std::string answer = in.Pick(kAnswers);
            const bool acting = key == "Menu" || key == "DialupChange" || key == "WindowsEnd";
            mayAct = !f.form.Settings.KMSPasswordFlag || (acting && model.Holds(machine, address, now));
            if (model.Holds(machine, address, now) || (key == "Password" && answer == "pw"))
                model.heard[{machine, address}] = now;
            f.kms.InputReturn(key, answer, handle, machine, "KMC");
            break;
        }
        case 4:
            f.kms.PeerLogout(handle, machine, address, "KMC");
            model.heard.erase({machine, address});
            break;
        case 5:
            f.RunFor(static_cast<std::uint32_t>(in.Byte()) * 5000u);
            f.form.tmScheduleTimer();
            mayAct = true;  // the schedule may act by itself
            break;
        case 6: {
            // The dial-up layer reports on a running dial.
            const int state = in.Byte() % 3;
            f.ras.states[f.form.Settings.Target] = state;
            if (state == 2)
                f.ras.OnConnect(f.form.Settings.Target);
            else if (state == 0)
                f.ras.OnConnectError(f.form.Settings.Target, {});
            // The hang-ups the service took end, released or given up.
            f.ras.Release((in.Byte() & 1) != 0);
            mayAct = true;  // redials and the reports of hang-ups are the program's own
            break;
        }
        default:
            f.form.FormClick();
            mayAct = true;  // the status icon is the local user's
            break;
        }
        Check(mayAct || Actions(f, targetBefore) == actionsBefore);
        f.kms.sends.clear();
        f.kms.sent.clear();
        f.ras.calls.clear();
        f.shutdown.requests = 0;
    }
    return 0;
}
