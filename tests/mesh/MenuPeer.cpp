// A stand-in for a program that offers a remote menu, for driving kmconsole in tests: asks
// for a password (masked), then offers a two-item menu, then ends the dialogue with a message
// naming the choice. Runs until killed or for the given number of seconds.
#include <cstdlib>
#include <string>

#include "SocketPeer.h"

int main(int argc, char** argv)
{
    const int port = argc > 1 ? std::atoi(argv[1]) : 51000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    kiv::test::SocketPeer peer("KIVPC", "Kiv", port);
    auto& backend = peer.backend;
    auto& kms = peer.kms;
    kms.SetHandleName("Kiv");
    kms.SetMenu(true);
    kms.SetSecurity(true);
    kms.OnMenuRequest = [&](const kiv::MeshRequest& r) {
        kms.SendInputLine("【Kiv KestrelMesh Menu】\r\rパスワードを入力してください。", "パスワード", "Password",
                          r.MachineName, r.Discrimination, true);
    };
    kms.OnInputReturn = [&](const kiv::MeshRequest& r) {
        const std::string& key = r.Key;
        const std::string& value = r.Answer;
        const std::string& m = r.MachineName;
        const std::string& d = r.Discrimination;
        if (key == "Password" && value == "ひみつ")
            kms.SendInputSelect("メニュー\r\n選んでください", "■ 接続する&:■ 切断する", "Connect&:Deconnect", "Menu",
                                m, d);
        else if (key == "Menu")
            kms.SendInputMessage("done: " + value, m, d);
        else
            kms.SendInputMessage("refused", m, d);
    };
    if (!kms.Start() || !kms.Login())
        return 1;
    backend.RunFor(static_cast<std::uint64_t>(seconds * 1000));
    kms.Stop();
    return 0;
}
