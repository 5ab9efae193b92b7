#include "StandIns.h"

namespace kiv {

StandInRas::StandInRas()
{
    library_ = LoadLibraryA("rasapi32.DLL");
    if (!library_)
        return;
    for (const char* name : {"RasDialA", "RasHangUpA", "RasEnumEntriesA", "RasEnumConnectionsA",
                             "RasGetEntryDialParamsA", "RasGetConnectStatusA"}) {
        if (!GetProcAddress(library_, name)) {
            FreeLibrary(library_);
            library_ = nullptr;
            return;
        }
    }
}

StandInRas::~StandInRas()
{
    if (library_)
        FreeLibrary(library_);
}

}  // namespace kiv
