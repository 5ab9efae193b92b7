// One copy of Kiv per desktop session: the named mutex "Veld -Kiv-" held for the life of the
// process.
#pragma once

#include <windows.h>

namespace kiv {

inline constexpr char kSingleInstanceMutexName[] = "Veld -Kiv-";

// Takes the mutex, or finds that another copy holds it; held until destroyed.
class SingleInstance {
public:
    explicit SingleInstance(const char* name = kSingleInstanceMutexName);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Another copy holds the mutex: this one is to end.
    bool AnotherCopyRuns() const { return anotherCopy_; }

private:
    HANDLE mutex_ = nullptr;
    bool anotherCopy_ = false;
};

}  // namespace kiv
