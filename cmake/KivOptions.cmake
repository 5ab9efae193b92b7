# Compiler settings shared by every target of ours, native and Windows.
# Sources are UTF-8; every literal is stored as Shift-JIS (code page 932) bytes.
# The test command builds with KIV_WERROR on: a warning stops it like a failing test.
option(KIV_WERROR "Treat compiler warnings as errors" OFF)
function(kiv_target_options target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra $<$<BOOL:${KIV_WERROR}>:-Werror>
    -finput-charset=UTF-8 -fexec-charset=CP932)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
  endif()
endfunction()

# A GoogleTest program's own code: compiled without optimisation and as one unit (its headers
# read once), since most of the build's time went into these files. The code they test is
# compiled in its own libraries, with the build's optimisation, as shipped.
function(kiv_test_options target)
  kiv_target_options(${target})
  target_compile_options(${target} PRIVATE -O0)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
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

# Native builds for the quick test loop (scripts/test.sh --quick): AddressSanitizer and
# UndefinedBehaviorSanitizer in every program, any finding fatal.
option(KIV_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer (native only)" OFF)
if(KIV_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The test tiers as CTest labels, each with the time limit of one test: unit (portable tests run
# natively: one GoogleTest case, or a program over loopback), wine (a test program under Wine,
# all its cases), e2e (a script driving programs from outside, natively or under Wine), lint (a
# check of the tree itself: scripts, format). A limit
# only ends a test that hangs: it is far above what a test takes on a busy machine.
set(KIV_TEST_TIMEOUT_unit 120)
set(KIV_TEST_TIMEOUT_wine 600)
set(KIV_TEST_TIMEOUT_e2e 600)
set(KIV_TEST_TIMEOUT_lint 300)
# Windows test names start with the architecture, so that the runs of both Windows trees can
# share one CTest run.
if(WIN32)
  set(KIV_TEST_PREFIX "${CMAKE_SYSTEM_PROCESSOR}/")
else()
  set(KIV_TEST_PREFIX "")
endif()

# kiv_test(NAME LABEL COMMAND [ARGS...]): a test with its tier's label and time limit; its name
# gets the architecture in front in a Windows build.
function(kiv_test name label)
  add_test(NAME ${KIV_TEST_PREFIX}${name} COMMAND ${ARGN})
  set_tests_properties(${KIV_TEST_PREFIX}${name} PROPERTIES LABELS ${label} TIMEOUT ${KIV_TEST_TIMEOUT_${label}})
endfunction()

# Registers a GoogleTest program: every case as its own test natively; under Wine the whole
# program as one test, since each Windows process start costs seconds.
function(kiv_add_gtest target)
  if(WIN32)
    kiv_test(${target} wine ${target})
  else()
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit TIMEOUT ${KIV_TEST_TIMEOUT_unit})
  endif()
endfunction()
