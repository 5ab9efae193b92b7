// libFuzzer target: datagrams from several sources, whole messages, logins and the passing of
// virtual time, fed into the receive path of a logged-in component over the fake backend. The
// component and its backend are made once; each input starts from a fresh start and login.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FakeMeshBackend.h"
#include "FuzzInput.h"
#include "KestrelMesh.h"
#include "MeshWire.h"

using kiv::fuzz::Check;
using kiv::fuzz::Reader;

namespace {

struct Mesh {
    Mesh()
    {
        kms.SetDiscrimination("Kiv");
        kms.SetHandleName("Kiv");
        kms.SetMenu(true);
        kms.SetFTPPortNo(0);
        kms.OnMenuRequest = [this](const kiv::MeshRequest& r) {
            kms.SendInputSelect("menu\r\n", "a&:b", "A&:B", "Menu", r.MachineName, r.Discrimination);
        };
        kms.OnInputReturn = [this](const kiv::MeshRequest& r) {
            kms.SendInputMessage(r.Answer, r.MachineName, r.Discrimination);
        };
    }
    kiv::test::FakeMeshBackend backend;
    kiv::TKestrelMesh kms{backend, 7};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Mesh mesh;
    static const std::uint64_t start = mesh.backend.now;
    kiv::test::FakeMeshBackend& backend = mesh.backend;
    kiv::TKestrelMesh& kms = mesh.kms;
    // Each input ends with a stop; the clock starts over.
    backend.timers.clear();
    backend.sent.clear();
    backend.now = start;
    if (!kms.Start() || !kms.Login())
        return 0;
    Reader in{data, size};
    while (in.More()) {
        const std::uint8_t op = in.Byte();
        const std::uint32_t source = 0x0A000001u + in.Byte() % 24;
        switch (op % 4) {
        case 0: {  // one raw datagram
            const std::size_t length = (static_cast<std::size_t>(in.Byte()) << 8 | in.Byte()) % 600;
            const std::string datagram = in.Bytes(length);
            kms.ReceiveDatagram(datagram.data(), datagram.size(), source);
            break;
        }
        case 1:  // time passes
            backend.Advance(kms, static_cast<std::uint64_t>(in.Byte()) * 500);
            break;
        case 2: {  // a whole message, framed as a sender would frame it
            const std::size_t length = (static_cast<std::size_t>(in.Byte()) << 8 | in.Byte()) % 2000;
            const std::string text = kiv::mesh::MakeIdentifier({2026, 1, 1, 0, 0, 0, 0}, in.Byte()) +
                                     in.Bytes(length);
            for (const auto& d : kiv::mesh::CutDatagrams(kiv::mesh::FrameText(text, op & 4)))
                kms.ReceiveDatagram(d.data(), d.size(), source);
            break;
        }
        default:  // leave and join again
            if (op & 4)
                kms.Logout();
            else
                kms.Login();
            break;
        }
        Check(kms.LoginCount() >= 0 && kms.LoginCount() <= kiv::kPeerTableSize);
        backend.sent.clear();
    }
    kms.Stop();
    return 0;
}
