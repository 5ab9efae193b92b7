// The backend of the platform being built, under the one name consoles and tests use.
#pragma once

#include "PosixMeshBackend.h"

namespace kiv::mesh {

using SystemMeshBackend = PosixMeshBackend;

}  // namespace kiv::mesh
