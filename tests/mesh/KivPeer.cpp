// Kiv's own remote menu on a native KestrelMesh peer, for driving consoles end to end without
// Wine: the main form's decisions over the fakes of the unit tests, its dialogue carried by a
// real TKestrelMesh, and a phonebook whose dials connect after a given time. It answers as
// KIVPC with the password given, the scheduled connect at 7:05, and the control target
// 「東京アクセスポイント」 (entries 「東京アクセスポイント」 and "Office VPN").
// Usage: kiv_mesh_kiv_peer PORT SECONDS PASSWORD DIAL_MS
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Fakes.h"
#include "SocketPeer.h"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: kiv_mesh_kiv_peer PORT SECONDS PASSWORD DIAL_MS\n", stderr);
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::uint64_t runMs = static_cast<std::uint64_t>(std::atof(argv[2]) * 1000);
    const std::string password = argv[3];
    const std::uint64_t dialMs = static_cast<std::uint64_t>(std::atoll(argv[4]));

    kiv::test::MainFormFixture kiv;
    const std::string target = "東京アクセスポイント";
    kiv.ras.entries = {target, "Office VPN"};
    std::ofstream(kiv.IniPath(), std::ios::binary)
        << "[Option]\r\nTarget=" << target << "\r\nAutoStart=1\r\nAutoStartHour=7\r\nAutoStartMinute=5\r\nKMSLogin=1\r\n";
    kiv.form.FormCreate();
    kiv.form.Settings.KMSPasswordFlag = true;
    kiv.form.Settings.KMSPassword = password;

    kiv::test::SocketPeer peer("KIVPC", "Kiv", port);
    auto& backend = peer.backend;
    auto& kms = peer.kms;
    kms.SetHandleName("Kiv");
    kms.SetVersion(201);
    kms.SetMenu(true);
    kms.SetSecurity(true);

    // What the form sends through its mesh port goes out on the real one.
    std::size_t forwarded = 0;
    const auto forward = [&] {
        for (; forwarded < kiv.kms.sends.size(); ++forwarded) {
            const auto& s = kiv.kms.sends[forwarded];
            if (s.kind == "SELECT")
                kms.SendInputSelect(s.message, s.list, s.returns, s.key, s.machine, s.discrimination);
            else if (s.kind == "LINE")
                kms.SendInputLine(s.message, s.list, s.key, s.machine, s.discrimination, s.password);
            else
                kms.SendInputMessage(s.message, s.machine, s.discrimination);
        }
    };
    kms.OnMenuRequest = [&](const kiv::MeshRequest& request) {
        kiv.form.KMSMenuRequest(request);
        forward();
    };
    kms.OnInputReturn = [&](const kiv::MeshRequest& request) {
        kiv.form.KMSInputReturn(request);
        forward();
    };
    if (!kms.Start() || !kms.Login())
        return 1;

    const std::uint64_t start = backend.NowMilliseconds();
    std::uint64_t last = start;
    std::uint64_t connectAt = 0;  // 0: no dial running
    std::string dialling;
    while (backend.NowMilliseconds() - start < runMs) {
        backend.RunOnce(20);
        const std::uint64_t now = backend.NowMilliseconds();
        kiv.RunFor(static_cast<std::uint32_t>(now - last));  // the status window's time
        last = now;
        for (const auto& [name, state] : kiv.ras.states)
            if (state == 1 && connectAt == 0) {
                connectAt = now + dialMs;
                dialling = name;
            }
        if (connectAt != 0 && now >= connectAt) {
            connectAt = 0;
            if (kiv.ras.states[dialling] == 1) {
                kiv.ras.states[dialling] = 2;
                kiv.ras.OnConnect(dialling);
                forward();
            }
        }
    }
    kms.Stop();
    return 0;
}
