// libFuzzer target: the settings file as any bytes, loaded, saved and loaded again, and the
// INI text's reads and writes on the same bytes. Besides crashes it checks that a value the
// INI text accepted is read back as written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FileBytes.h"
#include "FuzzInput.h"
#include "IniText.h"
#include "Settings.h"
#include "TempDir.h"
#include "VireoSubSetIni.h"

using kiv::fuzz::Check;

namespace {

bool Plain(const std::string& s)
{
    if (s.empty())
        return false;
    for (unsigned char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static kiv::test::TempDir dir;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    kiv::TVireoSubSetIni ini;
    ini.DefaultIniFilePath = dir.File("Kiv.INI");
    Check(!kiv::WriteFileBytes(ini.DefaultIniFilePath, bytes));
    kiv::TSettings settings;
    kiv::StringList allowed;
    kiv::LoadSettings(ini, "Entry0", (size & 1) != 0, settings, allowed);
    kiv::SaveSettings(ini, settings, allowed);
    kiv::TSettings again;
    kiv::StringList allowedAgain;
    kiv::LoadSettings(ini, "Entry0", (size & 1) != 0, again, allowedAgain);
    kiv::WriteTarget(ini, again, again.Target);

    // The last bytes, when they spell SECTION=KEY=VALUE in plain letters, are written into the
    // text made of the rest.
    kiv::IniText text(bytes);
    (void)text.Value("Option", "Target");
    const auto eq1 = bytes.rfind('\n');
    const std::string tail = eq1 == std::string::npos ? bytes : bytes.substr(eq1 + 1);
    const auto a = tail.find('='), b = a == std::string::npos ? a : tail.find('=', a + 1);
    if (b != std::string::npos) {
        const std::string section = tail.substr(0, a), key = tail.substr(a + 1, b - a - 1), value = tail.substr(b + 1);
        if (Plain(section) && Plain(key) && Plain(value) && text.SetValue(section, key, value))
            Check(text.Value(section, key) == value);
    }
    return 0;
}
