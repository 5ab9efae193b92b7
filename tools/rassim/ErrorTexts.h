// The simulator's texts for the error codes it produces, as a localised service has them: one
// in Japanese for a system whose code page is 932, one in English for the others. Written for
// the simulator; they read like the system's texts but are not copies of them.
#pragma once

#include <cstdint>

namespace rassim {

struct ErrorText {
    std::uint32_t code;
    const wchar_t* japanese;
    const wchar_t* english;
};

// The text of a code; null for a code the simulator never produces.
const ErrorText* FindErrorText(std::uint32_t code);

}  // namespace rassim
