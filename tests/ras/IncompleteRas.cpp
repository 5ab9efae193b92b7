// A service library for the tests that exports five of the six entry points: RasHangUpA is
// missing.
#include <windows.h>

extern "C" {
__declspec(dllexport) DWORD WINAPI RasEnumEntriesA(LPCSTR, LPCSTR, LPVOID, LPDWORD, LPDWORD) { return 0; }
__declspec(dllexport) DWORD WINAPI RasEnumConnectionsA(LPVOID, LPDWORD, LPDWORD) { return 0; }
__declspec(dllexport) DWORD WINAPI RasGetConnectStatusA(HANDLE, LPVOID) { return 6; }
__declspec(dllexport) DWORD WINAPI RasGetEntryDialParamsA(LPCSTR, LPVOID, LPBOOL) { return 0; }
__declspec(dllexport) DWORD WINAPI RasDialA(LPVOID, LPCSTR, LPVOID, DWORD, LPVOID, LPHANDLE) { return 0; }
}
