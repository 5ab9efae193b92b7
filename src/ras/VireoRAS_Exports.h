// The entry points of rasapi32 as the dial-up component loads them (ANSI, WINAPI), over
// the records of VireoRAS_API.h. Windows only.
#pragma once

#include <windows.h>

#include "VireoRAS_API.h"

namespace kiv::ras {

// The notifier of notifier type 0: message, connection state, error code.
using RasDialFunc = VOID(WINAPI*)(UINT message, DWORD state, DWORD error);

using RasEnumEntriesAFn = DWORD(WINAPI*)(LPCSTR reserved, LPCSTR phonebook, RASENTRYNAMEA* entries,
                                         LPDWORD bytes, LPDWORD count);
using RasEnumConnectionsAFn = DWORD(WINAPI*)(RASCONNA* conns, LPDWORD bytes, LPDWORD count);
using RasGetConnectStatusAFn = DWORD(WINAPI*)(HRASCONN conn, RASCONNSTATUSA* status);
using RasGetEntryDialParamsAFn = DWORD(WINAPI*)(LPCSTR phonebook, RASDIALPARAMSA* params, LPBOOL password);
using RasDialAFn = DWORD(WINAPI*)(LPVOID extensions, LPCSTR phonebook, RASDIALPARAMSA* params, DWORD notifierType,
                                  LPVOID notifier, HRASCONN* conn);
using RasHangUpAFn = DWORD(WINAPI*)(HRASCONN conn);
using RasGetErrorStringAFn = DWORD(WINAPI*)(UINT code, LPSTR text, DWORD size);

static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
static_assert(sizeof(HRASCONN) == sizeof(HANDLE));

}  // namespace kiv::ras
