// The remote access service as the dial-up component sees it: the ANSI records it exchanges
// with rasapi32, the constants it relies on, and the two ports behind which the service and
// the component's hidden window live.
//
// The records are the service's early layouts (no fields of later versions), written with
// fixed-width fields and packed to 4 bytes as the platform's own header packs them. The 32-bit
// layout is the one the shipped program (i686) hands to the service and the one the native
// tests use; in a 64-bit Windows build the connection handle is pointer-sized, at offset 4.
// win32/RasLayoutCheck.cpp holds every size and offset against the platform's <ras.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kiv::ras {

#if defined(_WIN64)
using HRASCONN = std::uint64_t;
#else
using HRASCONN = std::uint32_t;
#endif

constexpr std::size_t RAS_MaxEntryName = 256;
constexpr std::size_t RAS_MaxDeviceType = 16;
constexpr std::size_t RAS_MaxDeviceName = 128;
constexpr std::size_t RAS_MaxPhoneNumber = 128;
constexpr std::size_t RAS_MaxCallbackNumber = 128;
constexpr std::size_t UNLEN = 256;
constexpr std::size_t PWLEN = 256;
constexpr std::size_t DNLEN = 15;

#pragma pack(push, 4)

struct RASENTRYNAMEA {
    std::uint32_t dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
    char reserved_[3];
};

struct RASCONNA {
    std::uint32_t dwSize;
    HRASCONN hrasconn;
    char szEntryName[RAS_MaxEntryName + 1];
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
    char tail_[1];
};

struct RASCONNSTATUSA {
    std::uint32_t dwSize;
    std::uint32_t rasconnstate;
    std::uint32_t dwError;
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
    char tail_[2];
};

struct RASDIALPARAMSA {
    std::uint32_t dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
    char szPhoneNumber[RAS_MaxPhoneNumber + 1];
    char szCallbackNumber[RAS_MaxCallbackNumber + 1];
    char szUserName[UNLEN + 1];
    char szPassword[PWLEN + 1];
    char szDomain[DNLEN + 1];
    char tail_[3];
};

#pragma pack(pop)

static_assert(sizeof(RASENTRYNAMEA) == 264);
static_assert(sizeof(RASCONNSTATUSA) == 160);
static_assert(sizeof(RASDIALPARAMSA) == 1052);
#if defined(_WIN64)
static_assert(sizeof(HRASCONN) == 8);
static_assert(offsetof(RASCONNA, hrasconn) == 4);
static_assert(sizeof(RASCONNA) == 416);
#else
static_assert(sizeof(HRASCONN) == 4);
static_assert(offsetof(RASCONNA, hrasconn) == 4);
static_assert(sizeof(RASCONNA) == 412);
#endif

constexpr std::uint32_t kEntryNameSize = sizeof(RASENTRYNAMEA);
constexpr std::uint32_t kConnSize = sizeof(RASCONNA);
constexpr std::uint32_t kConnStatusSize = sizeof(RASCONNSTATUSA);
constexpr std::uint32_t kDialParamsSize = sizeof(RASDIALPARAMSA);

// The component's fixed lists: 100 records each.
constexpr int kMaxRecords = 100;

constexpr std::uint32_t RASCS_Authenticate = 5;
constexpr std::uint32_t RASCS_Connected = 0x2000;
constexpr std::uint32_t RASCS_Disconnected = 0x2001;

// The system's headers define some of these names as macros of the same values.
#ifndef ERROR_INVALID_HANDLE
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
#endif
constexpr std::uint32_t ERROR_BUFFER_TOO_SMALL = 603;
constexpr std::uint32_t ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;

#ifndef WM_TIMER
constexpr unsigned WM_TIMER = 0x0113;
#endif
#ifndef WM_USER
constexpr unsigned WM_USER = 0x0400;
#endif
static_assert(ERROR_INVALID_HANDLE == 6 && WM_TIMER == 0x0113 && WM_USER == 0x0400);
constexpr unsigned WM_RAS_CONNECTED = WM_USER + 101;
constexpr unsigned WM_RAS_AUTHENTICATE = WM_USER + 102;
constexpr unsigned WM_RAS_ERROR = WM_USER + 103;

// The component's own message: look at once whether the handles hung up are released.
constexpr unsigned WM_RAS_RELEASE_CHECK = WM_USER + 104;

constexpr unsigned kMonitorTimerId = 1;
constexpr unsigned kMonitorIntervalMs = 3000;

// While handles it hung up are not released yet, the component asks the service about them
// this often (timer kReleaseTimerId), and gives a handle up after kHangUpWaitLimitMs.
constexpr unsigned kReleaseTimerId = 2;
constexpr unsigned kHangUpPollMs = 50;
constexpr unsigned kHangUpWaitLimitMs = 30000;

// The message the dial notifier posts for a notification of the service; 0 for none. A
// WM_RAS_ERROR carries the notification's error code as its first parameter.
constexpr unsigned NotifierMessage(std::uint32_t state, std::uint32_t error)
{
    if (state == RASCS_Disconnected || error != 0)
        return WM_RAS_ERROR;
    if (state == RASCS_Authenticate)
        return WM_RAS_AUTHENTICATE;
    if (state == RASCS_Connected)
        return WM_RAS_CONNECTED;
    return 0;
}

// The six entry points of the loaded service library, called with the default phonebook.
// Sizes and counts are in/out as in the service's own functions; results are its error codes.
class RasService {
public:
    virtual ~RasService() = default;
    virtual std::uint32_t EnumEntries(RASENTRYNAMEA* entries, std::uint32_t* size, std::uint32_t* count) = 0;
    virtual std::uint32_t EnumConnections(RASCONNA* conns, std::uint32_t* size, std::uint32_t* count) = 0;
    virtual std::uint32_t GetConnectStatus(HRASCONN conn, RASCONNSTATUSA* status) = 0;
    virtual std::uint32_t GetEntryDialParams(RASDIALPARAMSA* params, bool* passwordRetrieved) = 0;
    // Starts an asynchronous dial whose notifications reach the component's hidden window.
    virtual std::uint32_t Dial(RASDIALPARAMSA* params, HRASCONN* conn) = 0;
    virtual std::uint32_t HangUp(HRASCONN conn) = 0;
    // The service's text for one of its error codes (RasGetErrorStringA), in Shift-JIS; empty
    // when it has none.
    virtual std::string ErrorString(std::uint32_t code) = 0;
};

// The component's hidden window: its timers (each tick comes back as TVireoRAS::TimerFired)
// and the messages posted to it (they come back through TVireoRAS::WindowProc).
class RasWindowPort {
public:
    virtual ~RasWindowPort() = default;
    // A periodic timer; returns the timer's identifier, 0 on failure.
    virtual unsigned SetTimer(unsigned id, unsigned milliseconds) = 0;
    virtual void KillTimer(unsigned id) = 0;
    // Queues a message to the hidden window (both parameters 0).
    virtual void Post(unsigned message) = 0;
    // A millisecond tick that wraps after 2^32 ms.
    virtual std::uint32_t TickCount() = 0;
    // Sleeps ms without processing messages (the program is ending: no message will come).
    virtual void Pause(unsigned ms) = 0;
};

}  // namespace kiv::ras
