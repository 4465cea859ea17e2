# Build settings shared by every directory. WIN32 is the cross build (the shipped i686 binaries,
# or the x86_64 build that the Win32 tests run); otherwise this is the native build of the
# portable core with the sanitizers.

# Texts in the sources are UTF-8; the programs hold them in code page 932.
add_compile_options(-Wall -Wextra -fexec-charset=CP932)

if(WIN32)
  enable_language(RC)
  set(VT_SHIPPED_BUILD OFF)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(VT_SHIPPED_BUILD ON)
  endif()
  add_compile_definitions(_WIN32_WINNT=0x0400 WINVER=0x0400 _WIN32_IE=0x0401 WIN32_LEAN_AND_MEAN
                          NOMINMAX)
  add_compile_options(-Os -ffunction-sections -fdata-sections)
  add_link_options(-static -static-libgcc -Wl,--gc-sections)
  if(VT_SHIPPED_BUILD)
    # PE subsystem and OS version 4.0: what Windows 95 and 98 accept.
    add_link_options(-Wl,--major-os-version=4,--minor-os-version=0
                     -Wl,--major-subsystem-version=4,--minor-subsystem-version=0)
  endif()
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
  # Each Windows program runs under Wine in a prefix of this build folder.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_SOURCE_DIR}/scripts/wine-run;--prefix;${CMAKE_BINARY_DIR}/wineprefix")
else()
  set(VT_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(-O1 -g ${VT_SANITIZE})
  add_link_options(${VT_SANITIZE})
endif()

# Code that ships in vt.dll: no exceptions, no RTTI.
function(vt_product_target target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()

# GoogleTest: the system's in the native build, built from Debian's sources in the cross build.
if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    target_compile_options(gtest PRIVATE -w)
    target_compile_options(gtest_main PRIVATE -w)
    # The shipped tree's win32 thread model has no std::mutex: GoogleTest's notification is
    # given on a Win32 event there.
    if(VT_SHIPPED_BUILD)
      target_compile_options(gtest PUBLIC
        -include ${CMAKE_SOURCE_DIR}/cmake/gtest_win32_notification.h)
    endif()
  endif()
  set(VT_GTEST gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(VT_GTEST GTest::gtest GTest::gtest_main)
endif()

# A test program: one CTest entry that runs every case in it (under Wine in the cross build).
function(vt_test name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} ${VT_GTEST})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  if(WIN32)
    # Under Wine passing needs GoogleTest's own closing line: a program that crashed part-way
    # (which Wine may report with exit code 0) fails instead of quietly losing its cases.
    set_tests_properties(${name} PROPERTIES
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ test"
      FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  endif()
endfunction()
