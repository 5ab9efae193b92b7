#include "SingleInstance.h"

namespace kiv {

SingleInstance::SingleInstance(const char* name)
{
    // A copy that is already running is seen at once.
    if (HANDLE running = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name)) {
        CloseHandle(running);
        anotherCopy_ = true;
        return;
    }
    // Two copies started together can both get here. Creating is the one atomic step: the copy
    // that made the mutex runs, the other gets the same mutex with ERROR_ALREADY_EXISTS (or is
    // denied it, when the first runs with other rights).
    mutex_ = CreateMutexA(nullptr, FALSE, name);
    const DWORD error = GetLastError();
    if ((mutex_ && error == ERROR_ALREADY_EXISTS) || (!mutex_ && error == ERROR_ACCESS_DENIED)) {
        anotherCopy_ = true;
        if (mutex_)
            CloseHandle(mutex_);
        mutex_ = nullptr;
    }
}

SingleInstance::~SingleInstance()
{
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

}  // namespace kiv
