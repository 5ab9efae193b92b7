// Names as KestrelMesh carries them: Shift-JIS (code page 932) text.
#pragma once

#include <string>

namespace kiv::mesh {

// A Shift-JIS lead byte: the byte after it is its trail byte, whatever its value (it may be
// 0x5C, "\", as in "表").
bool IsSjisLead(unsigned char c);

}  // namespace kiv::mesh
