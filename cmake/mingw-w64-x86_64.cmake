# 64-bit Windows: the build the Wine test tiers run on machines that cannot execute 32-bit code.
set(KIV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
