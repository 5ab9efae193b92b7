#include "VireoSubSetIni.h"

#include "FileBytes.h"
#include "IniText.h"
#include "TextHelpers.h"

namespace kiv {

namespace {

// Longest values the profile reads return: a string read uses a 65,535-byte buffer and an
// integer read a 255-byte one, each holding its terminating NUL.
constexpr std::size_t kStringValueLimit = 65534;
constexpr std::size_t kNumberValueLimit = 254;

}  // namespace

const std::string& TVireoSubSetIni::PathFor(const std::string& fileName) const
{
    return fileName.empty() ? DefaultIniFilePath : fileName;
}

std::string TVireoSubSetIni::ReadLimited(const std::string& section, const std::string& key,
                                         const std::string& defaultValue, const std::string& fileName,
                                         std::size_t limit) const
{
    std::string value = defaultValue;
    if (auto bytes = ReadFileBytes(PathFor(fileName), nullptr, *Files))
        if (auto stored = IniText(std::move(*bytes)).Value(section, key))
            value = std::move(*stored);
    // The value ends at its first NUL, as it would in the platform's buffer.
    if (auto nul = value.find('\0'); nul != std::string::npos)
        value.resize(nul);
    if (value.size() > limit)
        value.resize(limit);
    return value;
}

std::string TVireoSubSetIni::ReadIniString(const std::string& section, const std::string& key,
                                           const std::string& defaultValue, const std::string& fileName) const
{
    return ReadLimited(section, key, defaultValue, fileName, kStringValueLimit);
}

int TVireoSubSetIni::ReadIniInteger(const std::string& section, const std::string& key, int defaultValue,
                                    const std::string& fileName) const
{
    return TextToIntDef(ReadLimited(section, key, std::to_string(defaultValue), fileName, kNumberValueLimit),
                        defaultValue);
}

bool TVireoSubSetIni::ReadIniBool(const std::string& section, const std::string& key, bool defaultValue,
                                  const std::string& fileName) const
{
    // A Boolean is true when the low byte of the stored integer is not zero: 2 is true, 256 false.
    return (ReadIniInteger(section, key, defaultValue ? 1 : 0, fileName) & 0xFF) != 0;
}

bool TVireoSubSetIni::WriteIniString(const std::string& section, const std::string& key,
                                     const std::string& value, const std::string& fileName)
{
    return WriteIniValues(section, {{key, value}}, fileName);
}

bool TVireoSubSetIni::WriteIniValues(const std::string& section, const IniValues& values,
                                     const std::string& fileName)
{
    const std::string& path = PathFor(fileName);
    if (path.empty())
        return false;
    bool missing = false;
    auto bytes = ReadFileBytes(path, &missing, *Files);
    if (!bytes && !missing)
        return false;  // never replace a file that exists but could not be read
    IniText ini(bytes ? std::move(*bytes) : std::string());
    std::size_t set = 0;
    for (const auto& [key, value] : values)
        set += ini.SetValue(section, key, value) ? 1 : 0;
    // The keys that could be set are saved even when one could not.
    return set > 0 && WriteFileBytes(path, ini.Bytes(), *Files) && set == values.size();
}

bool TVireoSubSetIni::WriteIniInteger(const std::string& section, const std::string& key, int value,
                                      const std::string& fileName)
{
    return WriteIniString(section, key, std::to_string(value), fileName);
}

bool TVireoSubSetIni::WriteIniBool(const std::string& section, const std::string& key, bool value,
                                   const std::string& fileName)
{
    return WriteIniString(section, key, value ? "1" : "0", fileName);
}

}  // namespace kiv
