// The system's file calls with a record and failures on demand, for the tests of saves.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileBytes.h"

namespace kiv::test {

// The system's file calls, recorded; each can be made to fail with a reason, and a write can
// end the process part-way (the test's exception), as a kill or a power cut would.
class RecordingFiles : public FileSystemPort {
public:
    std::optional<std::string> Read(const Utf8Path& file, FileError& error) override
    {
        if (readError) {
            error = readError;
            return std::nullopt;
        }
        return SystemFiles().Read(file, error);
    }
    FileError WriteThrough(const Utf8Path& file, const std::string& bytes) override
    {
        calls.push_back("write " + Name(file));
        if (writeError)
            return writeError;
        return SystemFiles().WriteThrough(file, bytes);
    }
    FileError Replace(const Utf8Path& fromFile, const Utf8Path& toFile) override
    {
        calls.push_back("replace " + Name(fromFile) + " " + Name(toFile));
        if (crashAt == calls.size())
            throw std::runtime_error("process ended");
        if (Name(toFile) == "Kiv.INI" && replaceError)
            return replaceError;
        return SystemFiles().Replace(fromFile, toFile);
    }
    FileError Overwrite(const Utf8Path& file, const std::string& bytes) override
    {
        calls.push_back("overwrite " + Name(file));
        if (crashAt == calls.size()) {
            // Cut short: the first half of the new bytes over the old ones.
            std::string mixed = ReadFileBytes(file.Text).value_or("");
            mixed.replace(0, bytes.size() / 2, bytes.substr(0, bytes.size() / 2));
            SystemFiles().Overwrite(file, mixed);
            throw std::runtime_error("process ended");
        }
        if (overwriteError.Kind == FileFailure::InUse)
            return overwriteError;  // refused at the open: nothing written
        const std::string before = ReadFileBytes(file.Text).value_or("");
        if (overwriteError.Kind == FileFailure::DiskFull && bytes.size() > before.size()) {
            // A full disk takes what fits in the file's place, and no more.
            SystemFiles().Overwrite(file, bytes.substr(0, before.size()));
            return overwriteError;
        }
        return SystemFiles().Overwrite(file, bytes);
    }
    void Remove(const Utf8Path& file) override
    {
        calls.push_back("remove " + Name(file));
        SystemFiles().Remove(file);
    }
    bool ReadOnly(const Utf8Path& file) override { return readOnly || SystemFiles().ReadOnly(file); }

    FileError readError, writeError, replaceError, overwriteError;
    bool readOnly = false;
    std::size_t crashAt = 0;  // the call (counted from 1) that ends the process; 0: none
    std::vector<std::string> calls;

private:
    static std::string Name(const Utf8Path& path) { return std::filesystem::path(path.Text).filename().string(); }
};

}  // namespace kiv::test
