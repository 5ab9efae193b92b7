// Build-time check, for each Windows architecture, that the records of VireoRAS_API.h are the
// early layouts of the platform's own <ras.h>: the same size and every field the component
// uses at the same offset. The platform header defines the records' names as macros, so Kiv's
// figures are taken before it is included.
#include <cstddef>

#include "VireoRAS_API.h"

namespace {

namespace k = kiv::ras;

constexpr std::size_t kEntrySize = sizeof(k::RASENTRYNAMEA);
constexpr std::size_t kEntryName = offsetof(k::RASENTRYNAMEA, szEntryName);
constexpr std::size_t kConnSize = sizeof(k::RASCONNA);
constexpr std::size_t kConnHandle = offsetof(k::RASCONNA, hrasconn);
constexpr std::size_t kConnHandleSize = sizeof(k::HRASCONN);
constexpr std::size_t kConnName = offsetof(k::RASCONNA, szEntryName);
constexpr std::size_t kConnDeviceType = offsetof(k::RASCONNA, szDeviceType);
constexpr std::size_t kConnDeviceName = offsetof(k::RASCONNA, szDeviceName);
constexpr std::size_t kStatusSize = sizeof(k::RASCONNSTATUSA);
constexpr std::size_t kStatusState = offsetof(k::RASCONNSTATUSA, rasconnstate);
constexpr std::size_t kStatusError = offsetof(k::RASCONNSTATUSA, dwError);
constexpr std::size_t kStatusDeviceType = offsetof(k::RASCONNSTATUSA, szDeviceType);
constexpr std::size_t kStatusDeviceName = offsetof(k::RASCONNSTATUSA, szDeviceName);
constexpr std::size_t kParamsSize = sizeof(k::RASDIALPARAMSA);
constexpr std::size_t kParamsName = offsetof(k::RASDIALPARAMSA, szEntryName);
constexpr std::size_t kParamsPhone = offsetof(k::RASDIALPARAMSA, szPhoneNumber);
constexpr std::size_t kParamsCallback = offsetof(k::RASDIALPARAMSA, szCallbackNumber);
constexpr std::size_t kParamsUser = offsetof(k::RASDIALPARAMSA, szUserName);
constexpr std::size_t kParamsPassword = offsetof(k::RASDIALPARAMSA, szPassword);
constexpr std::size_t kParamsDomain = offsetof(k::RASDIALPARAMSA, szDomain);

}  // namespace

#include <windows.h>
#include <ras.h>

namespace {

// The platform's record up to (not including) its first field of a later version, padded to
// the header's packing of 4 bytes: the layout the component hands to the service.
constexpr std::size_t Early(std::size_t firstLaterField) { return (firstLaterField + 3) / 4 * 4; }

static_assert(kEntrySize == Early(offsetof(RASENTRYNAMEA, dwFlags)));
static_assert(kEntryName == offsetof(RASENTRYNAMEA, szEntryName));

static_assert(kConnSize == Early(offsetof(RASCONNA, szPhonebook)));
static_assert(kConnHandle == offsetof(RASCONNA, hrasconn));
static_assert(kConnHandleSize == sizeof(HRASCONN));
static_assert(kConnName == offsetof(RASCONNA, szEntryName));
static_assert(kConnDeviceType == offsetof(RASCONNA, szDeviceType));
static_assert(kConnDeviceName == offsetof(RASCONNA, szDeviceName));

static_assert(kStatusSize == Early(offsetof(RASCONNSTATUSA, szPhoneNumber)));
static_assert(kStatusState == offsetof(RASCONNSTATUSA, rasconnstate));
static_assert(kStatusError == offsetof(RASCONNSTATUSA, dwError));
static_assert(kStatusDeviceType == offsetof(RASCONNSTATUSA, szDeviceType));
static_assert(kStatusDeviceName == offsetof(RASCONNSTATUSA, szDeviceName));

static_assert(kParamsSize == Early(offsetof(RASDIALPARAMSA, dwSubEntry)));
static_assert(kParamsName == offsetof(RASDIALPARAMSA, szEntryName));
static_assert(kParamsPhone == offsetof(RASDIALPARAMSA, szPhoneNumber));
static_assert(kParamsCallback == offsetof(RASDIALPARAMSA, szCallbackNumber));
static_assert(kParamsUser == offsetof(RASDIALPARAMSA, szUserName));
static_assert(kParamsPassword == offsetof(RASDIALPARAMSA, szPassword));
static_assert(kParamsDomain == offsetof(RASDIALPARAMSA, szDomain));

// The sizes the shipped 32-bit program uses.
#ifndef _WIN64
static_assert(kEntrySize == 264 && kConnSize == 412 && kStatusSize == 160 && kParamsSize == 1052);
#endif

}  // namespace
