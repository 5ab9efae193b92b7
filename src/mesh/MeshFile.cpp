#include "MeshFile.h"

namespace kiv::mesh {

bool IsSjisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace kiv::mesh
