// The version query behind the tray image, in a program that carries kiv.exe's manifest: it must
// report the system Wine pretends to be, as RtlGetVersion (which no manifest changes) does, and
// the tray image must follow it. The test script runs this program as the prefix's default system
// and again as Windows XP, the one system that gets the 256-colour image.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "TrayImage.h"
#include "Win32Ports.h"

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

OSVERSIONINFOW TrueVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    auto fn = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (fn)
        fn(&info);
    return info;
}

TEST(VersionQuery, ReportsTheRealSystemUnderTheManifest)
{
    const OSVERSIONINFOW truth = TrueVersion();
    ASSERT_NE(truth.dwMajorVersion, 0u);
    const std::optional<kiv::OsVersion> seen = kiv::QueryOsVersion();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->PlatformId, truth.dwPlatformId);
    EXPECT_EQ(seen->Major, truth.dwMajorVersion);
    EXPECT_EQ(seen->Minor, truth.dwMinorVersion);
    const bool xp = truth.dwPlatformId == 2 && truth.dwMajorVersion == 5 && truth.dwMinorVersion == 1;
    EXPECT_STREQ(kiv::ChooseTrayIcon(seen), xp ? kiv::kTrayIcon256 : kiv::kTrayIcon16)
        << "system " << truth.dwMajorVersion << "." << truth.dwMinorVersion;
    std::printf("system %lu.%lu, tray image %s\n", truth.dwMajorVersion, truth.dwMinorVersion,
                kiv::ChooseTrayIcon(seen));
}

}  // namespace
