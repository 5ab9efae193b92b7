// The remote control dialogue with a KestrelMesh console: the small pure helpers of its handlers
// (TMainForm::KMSMenuRequest, KMSInputReturn, CheckRemoteAccess in RemoteMenu.cpp). Its texts
// are in RemoteTexts.h.
#pragma once

#include <string>

#include "MeshPort.h"
#include "RemoteTexts.h"
#include "Settings.h"

namespace kiv {

// The status block of the main menu: target, connection state (0, 1 or anything else) and
// the two scheduled times.
std::string RemoteStatusBlock(const TSettings& settings, int entryState);

// Start of a status message for an action of a console.
std::string RemoteStatusPrefix(const std::string& handleName, const std::string& machineName);

// What a console's answer asks, for the log. A password is never in it, nor its length, and
// the answer to a prompt Kiv does not know is left out.
std::string RemoteRequestText(const MeshRequest& request);

}  // namespace kiv
