// The INI helpers of the window-effects component: one settings file named by
// DefaultIniFilePath, used whenever a helper is given an empty file name.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "FileBytes.h"

namespace kiv {

// Keys and their values, written together.
using IniValues = std::vector<std::pair<std::string, std::string>>;

class TVireoSubSetIni {
public:
    std::string DefaultIniFilePath;  // UTF-8 path text
    // The file calls the helpers go through.
    FileSystemPort* Files = &SystemFiles();

    std::string ReadIniString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& fileName = {}) const;
    int ReadIniInteger(const std::string& section, const std::string& key, int defaultValue,
                       const std::string& fileName = {}) const;
    bool ReadIniBool(const std::string& section, const std::string& key, bool defaultValue,
                     const std::string& fileName = {}) const;

    // True when the file was written.
    bool WriteIniString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName = {});
    bool WriteIniInteger(const std::string& section, const std::string& key, int value,
                         const std::string& fileName = {});
    bool WriteIniBool(const std::string& section, const std::string& key, bool value,
                      const std::string& fileName = {});
    // Sets every key of values in section with one write of the file; the keys a new file
    // gets appear in the order given. True when the file was written.
    bool WriteIniValues(const std::string& section, const IniValues& values, const std::string& fileName = {});

private:
    const std::string& PathFor(const std::string& fileName) const;
    std::string ReadLimited(const std::string& section, const std::string& key,
                            const std::string& defaultValue, const std::string& fileName,
                            std::size_t limit) const;
};

}  // namespace kiv
