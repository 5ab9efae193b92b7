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

std::optional<IniText> TVireoSubSetIni::ReadIniFile(FileError& error, const std::string& fileName) const
{
    auto bytes = ReadFileBytes(PathFor(fileName), &error, *Files);
    if (!bytes)
        return std::nullopt;
    return IniText(std::move(*bytes));
}

std::string TVireoSubSetIni::Limited(const IniText* file, const std::string& section, const std::string& key,
                                     const std::string& defaultValue, std::size_t limit)
{
    std::string value = defaultValue;
    if (file)
        if (auto stored = file->Value(section, key))
            value = std::move(*stored);
    // The value ends at its first NUL, as it would in the platform's buffer.
    if (auto nul = value.find('\0'); nul != std::string::npos)
        value.resize(nul);
    if (value.size() > limit)
        value.resize(limit);
    return value;
}

std::string TVireoSubSetIni::IniString(const IniText& file, const std::string& section, const std::string& key,
                                       const std::string& defaultValue)
{
    return Limited(&file, section, key, defaultValue, kStringValueLimit);
}

int TVireoSubSetIni::IniInteger(const IniText& file, const std::string& section, const std::string& key,
                                int defaultValue)
{
    return TextToIntDef(Limited(&file, section, key, std::to_string(defaultValue), kNumberValueLimit), defaultValue);
}

bool TVireoSubSetIni::IniBool(const IniText& file, const std::string& section, const std::string& key,
                              bool defaultValue)
{
    // A Boolean is true when the low byte of the stored integer is not zero: 2 is true, 256 false.
    return (IniInteger(file, section, key, defaultValue ? 1 : 0) & 0xFF) != 0;
}

std::string TVireoSubSetIni::ReadIniString(const std::string& section, const std::string& key,
                                           const std::string& defaultValue, const std::string& fileName) const
{
    FileError error;
    const auto file = ReadIniFile(error, fileName);
    return Limited(file ? &*file : nullptr, section, key, defaultValue, kStringValueLimit);
}

int TVireoSubSetIni::ReadIniInteger(const std::string& section, const std::string& key, int defaultValue,
                                    const std::string& fileName) const
{
    FileError error;
    const auto file = ReadIniFile(error, fileName);
    return file ? IniInteger(*file, section, key, defaultValue) : defaultValue;
}

bool TVireoSubSetIni::ReadIniBool(const std::string& section, const std::string& key, bool defaultValue,
                                  const std::string& fileName) const
{
    FileError error;
    const auto file = ReadIniFile(error, fileName);
    return file ? IniBool(*file, section, key, defaultValue) : defaultValue;
}

bool TVireoSubSetIni::WriteIniString(const std::string& section, const std::string& key,
                                     const std::string& value, const std::string& fileName)
{
    return !WriteIniValues(section, {{key, value}}, fileName).Error;
}

IniWrite TVireoSubSetIni::WriteIniValues(const std::string& section, const IniValues& values,
                                         const std::string& fileName)
{
    IniWrite result;
    const std::string& path = PathFor(fileName);
    if (path.empty()) {
        result.Error = {FileFailure::NotFound, 0};
        return result;
    }
    FileError readError;
    auto bytes = ReadFileBytes(path, &readError, *Files);
    // Never replace a file that exists but could not be read: it would lose what it holds.
    if (!bytes && readError.Kind != FileFailure::NotFound) {
        result.Error = readError;
        for (const auto& [key, value] : values)
            result.Changed.push_back(key);
        return result;
    }
    IniText ini(bytes ? std::move(*bytes) : std::string());
    bool refused = false;
    for (const auto& [key, value] : values) {
        if (ini.Value(section, key) == value)
            continue;
        result.Changed.push_back(key);
        refused = !ini.SetValue(section, key, value) || refused;
    }
    // The keys that could be set are saved even when one could not.
    if (!result.Changed.empty())
        result.Error = WriteFileBytes(path, ini.Bytes(), *Files);
    if (!result.Error && refused)
        result.Error = {FileFailure::BadValue, 0};
    return result;
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
