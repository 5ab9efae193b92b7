// A fresh folder for one test, removed afterwards; or another's folder, borrowed and left as it
// is (a fuzz target makes one folder for all its runs).
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace kiv::test {

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("kiv-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    struct Borrow {};
    TempDir(const TempDir& owner, Borrow) : path_(owner.path_), owned_(false) {}
    ~TempDir()
    {
        if (!owned_)
            return;
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    bool owned_ = true;
};

}  // namespace kiv::test
