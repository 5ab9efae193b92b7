# Compiler settings shared by every target of ours, native and Windows.
# Sources are UTF-8; every literal is stored as Shift-JIS (code page 932) bytes.
function(kiv_target_options target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra
    -finput-charset=UTF-8 -fexec-charset=CP932)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
  endif()
endfunction()

if(WIN32)
  # One self-contained executable: no MinGW runtime DLLs beside it.
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
endif()

# Release at -O2: GCC 12 at -O3 reports false -Wrestrict overlaps inside std::string
# concatenation (its inlined memcpy), which would break the warning-free build.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "" FORCE)

# Registers a GoogleTest program: every case as its own test natively; under Wine the whole
# program as one test, since each Windows process start costs seconds.
function(kiv_add_gtest target)
  if(WIN32)
    add_test(NAME ${target} COMMAND ${target})
  else()
    include(GoogleTest)
    gtest_discover_tests(${target})
  endif()
endfunction()
