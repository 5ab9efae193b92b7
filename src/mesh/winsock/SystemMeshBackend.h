// The backend of the platform being built, under the one name consoles and tests use.
#pragma once

#include "WinsockMeshBackend.h"

namespace kiv::mesh {

using SystemMeshBackend = WinsockMeshBackend;

}  // namespace kiv::mesh
