// The INI helpers of the window-effects component: one settings file named by
// DefaultIniFilePath, used whenever a helper is given an empty file name.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "FileBytes.h"
#include "IniText.h"

namespace kiv {

// Keys and their values, written together.
using IniValues = std::vector<std::pair<std::string, std::string>>;

// What a write of keys did: why it did not reach the disk (nothing when it did) and the keys
// whose stored values it changes, in the order given. Nothing changed: nothing is written.
struct IniWrite {
    FileError Error;
    std::vector<std::string> Changed;
};

class TVireoSubSetIni {
public:
    std::string DefaultIniFilePath;  // UTF-8 path text
    // The file calls the helpers go through.
    FileSystemPort* Files = &SystemFiles();

    // Each read reads the file anew; a file that cannot be read gives the default.
    std::string ReadIniString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& fileName = {}) const;
    int ReadIniInteger(const std::string& section, const std::string& key, int defaultValue,
                       const std::string& fileName = {}) const;
    bool ReadIniBool(const std::string& section, const std::string& key, bool defaultValue,
                     const std::string& fileName = {}) const;

    // The same reads over the content of a file read once (ReadIniFile), so that many keys come
    // from one state of the file.
    static std::string IniString(const IniText& file, const std::string& section, const std::string& key,
                                 const std::string& defaultValue);
    static int IniInteger(const IniText& file, const std::string& section, const std::string& key, int defaultValue);
    static bool IniBool(const IniText& file, const std::string& section, const std::string& key, bool defaultValue);
    // The whole file; nothing with the reason in error (NotFound for a file that is not there).
    std::optional<IniText> ReadIniFile(FileError& error, const std::string& fileName = {}) const;

    // True when the file was written.
    bool WriteIniString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName = {});
    bool WriteIniInteger(const std::string& section, const std::string& key, int value,
                         const std::string& fileName = {});
    bool WriteIniBool(const std::string& section, const std::string& key, bool value,
                      const std::string& fileName = {});
    // Sets every key of values in section with one write of the file; the keys a new file
    // gets appear in the order given. A file that exists but cannot be read is never written.
    IniWrite WriteIniValues(const std::string& section, const IniValues& values, const std::string& fileName = {});

    const std::string& PathFor(const std::string& fileName) const;

private:
    static std::string Limited(const IniText* file, const std::string& section, const std::string& key,
                               const std::string& defaultValue, std::size_t limit);
};

}  // namespace kiv
