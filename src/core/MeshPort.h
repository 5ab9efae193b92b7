// The peer messaging component as the main window sees it.
#pragma once

#include <functional>
#include <string>

namespace kiv {

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
    // The address the message being handled really came from (its datagrams' source), as
    // dotted text. Read it before anything that may process messages: a message handled
    // inside such a call replaces it.
    virtual std::string ReceivedAddress() const = 0;

    std::function<void(const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnMenuRequest;
    std::function<void(const std::string& inputDiscrimination, const std::string& inputReturn,
                       const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnInputReturn;
    // A peer of the table logged out (or gave way to a newcomer in a full table).
    std::function<void(const std::string& handleName, const std::string& machineName, const std::string& ipAddress,
                       const std::string& discrimination)>
        OnLogout;
};

}  // namespace kiv
