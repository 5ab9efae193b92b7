// The remote control dialogue with a KestrelMesh console: the small pure helpers of its handlers
// (TMainForm::KMSMenuRequest, KMSInputReturn, CheckRemoteAccess in RemoteMenu.cpp). Its texts
// are in RemoteTexts.h.
#pragma once

#include <string>

#include "RemoteTexts.h"
#include "Settings.h"

namespace kiv {

// The status block of the main menu: target, connection state (0, 1 or anything else) and
// the two scheduled times.
std::string RemoteStatusBlock(const TSettings& settings, int entryState);

// Start of a status message for an action of a console.
std::string RemoteStatusPrefix(const std::string& handleName, const std::string& machineName);

}  // namespace kiv
