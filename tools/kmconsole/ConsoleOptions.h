// What the terminal console and the web console share: the options that say how they join
// the mesh, and the signals that stop them.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "KestrelMesh.h"

namespace kmconsole {

struct MeshOptions {
    explicit MeshOptions(std::string defaultHandle) : handle(std::move(defaultHandle)) {}
    std::string handle, disc = "KMC", broadcast, menuDisc = "Kiv";
    std::optional<std::string> machine, address;
    int port = 51000;
    bool security = false;
};

// A port number from 1 to 65535, decimal digits only.
std::optional<int> ParsePort(const std::string& text);

// Says what is wrong with the options (unless problem is empty), then the usage: the
// program's own lines, the mesh options' and what follows them. Returns the exit code 2.
int UsageError(const char* program, const std::string& problem, const char* usage, const char* after = "");

// A flag (no value) of the mesh options; false when it is none.
bool ParseMeshFlag(const std::string& name, MeshOptions& o);
// An option with a value: nothing when it is no mesh option, an empty text when it was taken,
// else what is wrong with the value.
std::optional<std::string> ParseMeshOption(const std::string& name, const std::string& value, MeshOptions& o);

// The identity, port and sending of the options, on the backend and the component.
void ApplyMeshOptions(const MeshOptions& o, kiv::mesh::HostMeshBackend& backend, kiv::TKestrelMesh& kms);

// From now on SIGINT and SIGTERM make StopRequested true.
void CatchStopSignals();
bool StopRequested();

}  // namespace kmconsole
