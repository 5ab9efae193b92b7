// The peer messaging component as the main window sees it, and the values its events carry.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kiv {

// A peer of the mesh as a LOGIN, LOGIN_OK or INFO_CHANGE describes it: an entry of the peer
// table.
struct PeerInfo {
    std::string HandleName{}, MachineName{}, IPAddress{}, Discrimination{};
    std::int32_t Version = 0;
    bool Absence = false, Menu = false, Chat = false;
    std::int32_t FTPPort = 0;
    // The address the datagrams of the message that reported the peer came from (for a peer
    // that gave way to a newcomer, the newcomer's); not kept in the table.
    std::string Source{};

    bool operator==(const PeerInfo&) const = default;
};

// A request of another program to this one: a menu request, or an answer to one of its
// prompts. The names are those the message gives; Source is the address its datagrams really
// came from, carried with the request.
struct MeshRequest {
    std::string HandleName{}, MachineName{}, Discrimination{};
    std::string Source{};
    // Of an answer: the prompt's key (InputDiscrimination) and the answer (InputReturn).
    std::string Key{}, Answer{};

    bool operator==(const MeshRequest&) const = default;
};

// The peer messaging component as the main window uses it.
class MeshPort {
public:
    virtual ~MeshPort() = default;
    virtual int PortNo() const = 0;
    virtual void SetPortNo(int port) = 0;
    virtual std::string HandleName() const = 0;
    virtual void SetHandleName(const std::string& name) = 0;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    virtual bool Login() = 0;
    virtual bool Logout() = 0;

    virtual bool SendInputSelect(const std::string& message, const std::string& selectList,
                                 const std::string& selectReturn, const std::string& selectDiscrimination,
                                 const std::string& machineName, const std::string& discrimination) = 0;
    virtual bool SendInputLine(const std::string& message, const std::string& messageLine,
                               const std::string& lineDiscrimination, const std::string& machineName,
                               const std::string& discrimination, bool password) = 0;
    virtual bool SendInputMessage(const std::string& message, const std::string& machineName,
                                  const std::string& discrimination) = 0;

    // A program asks for the menu (MENU_CHECK); Key and Answer are empty.
    std::function<void(const MeshRequest&)> OnMenuRequest;
    // A program answers a prompt (INPUT_RETURN).
    std::function<void(const MeshRequest&)> OnInputReturn;
    // A peer of the table logged out (or gave way to a newcomer in a full table).
    std::function<void(const PeerInfo&)> OnLogout;
};

}  // namespace kiv
