# 32-bit Windows: the program as shipped.
set(KIV_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
# Doubles computed in SSE2 registers, as on x86_64: x87 keeps 80-bit intermediates, so a time of day
# computed from the settings could differ from the same time read from the clock, and "exactly at
# the start time" would count as after it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
