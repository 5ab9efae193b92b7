// Asking Windows to shut down, with the shutdown privilege enabled for the request on NT.
#pragma once

#include "MainUnit.h"

namespace kiv {

class Win32Shutdown : public ShutdownPort {
public:
    bool ShutdownWindows() override;
};

}  // namespace kiv
