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
  # What ships is built for size first; the x86_64 tree keeps -Os.
  if(VT_SHIPPED_BUILD)
    add_compile_options(-Oz)
  endif()
  add_link_options(-static -static-libgcc -Wl,--gc-sections)
  if(VT_SHIPPED_BUILD)
    # PE subsystem and OS version 4.0: what Windows 95 and 98 accept.
    add_link_options(-Wl,--major-os-version=4,--minor-os-version=0
                     -Wl,--major-subsystem-version=4,--minor-subsystem-version=0)
  endif()
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
  # The toolchain's helper library last on every link line: the binaries that link no C runtime
  # (-nostdlib, vt_without_c_runtime) still take its 64-bit division and stack probes from it,
  # and it imports nothing.
  string(APPEND CMAKE_CXX_STANDARD_LIBRARIES " -lgcc")
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
  # Without exceptions the i686 band needs no unwind tables: its one guarded call registers a
  # frame-based handler of its own. (x86_64 keeps them: its structured exceptions unwind by them.)
  # Arguments pushed rather than stored into a reserved area: a tenth less code. That needs the
  # stack probes off, which is sound while no frame reaches the 4 KB guard page below the stack:
  # the build fails if one does (vt_stack_probes turns both back on for a file that needs it).
  if(VT_SHIPPED_BUILD)
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables
      -mno-accumulate-outgoing-args -mno-stack-arg-probe -Werror=frame-larger-than=4000
      -Werror=vla -Werror=alloca)
  endif()
endfunction()

# Files of a product target whose frames exceed the guard page: probed, arguments stored.
function(vt_stack_probes)
  if(VT_SHIPPED_BUILD)
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS
      "-maccumulate-outgoing-args;-mstack-arg-probe;-Wno-frame-larger-than")
  endif()
endfunction()

# A shipped binary that starts without a C runtime: ENTRY (a WINAPI function taking ARG_BYTES
# bytes of arguments) is its entry point, and runtime/c_library.cpp gives the C names that the
# code and the compiler call; cmake/without-c-runtime.ld lays it out.
function(vt_without_c_runtime target entry arg_bytes)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(entry _${entry}@${arg_bytes})
  endif()
  target_link_libraries(${target} PRIVATE vt_c_library vt_runtime)
  set(script ${CMAKE_SOURCE_DIR}/cmake/without-c-runtime.ld)
  target_link_options(${target} PRIVATE -nostdlib -Wl,-e,${entry} -Wl,-T,${script}
                      -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# GoogleTest: the system's in the native build, built from Debian's sources in the cross build.
if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    target_compile_options(gtest PRIVATE -w)
    target_compile_options(gtest_main PRIVATE -w)
    # The shipped tree's test program runs under qemu-i386, which keeps one set of TLS segment
    # entries for all threads of a process: after a signal, a thread runs on another thread's TEB,
    # and Wine then waits on the wrong thread's queue or unwinds on the wrong FS:[0] chain.
    # GoogleTest single-threaded starts no watcher thread for its thread-local values (a
    # SCOPED_TRACE or a first failure did), so that program keeps one thread.
    if(VT_SHIPPED_BUILD)
      target_compile_definitions(gtest PUBLIC GTEST_IS_THREADSAFE=0)
      target_compile_options(gtest PRIVATE -include ${CMAKE_SOURCE_DIR}/cmake/gtest_single_thread.h)
    endif()
  endif()
  set(VT_GTEST gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(VT_GTEST GTest::gtest GTest::gtest_main)
endif()

# A test program: one CTest entry that runs every case in it (under Wine in the cross build).
# BESIDE: files (and FOLDERS: folders) copied beside the test program on every build, not only
# when it relinks, so that a change to the program under test alone is never tested stale.
function(vt_test name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS;BESIDE;FOLDERS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} ${VT_GTEST})
  if(arg_BESIDE OR arg_FOLDERS)
    set(copies "")
    foreach(file IN LISTS arg_BESIDE)
      list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file}
           $<TARGET_FILE_DIR:${name}>/)
    endforeach()
    foreach(folder IN LISTS arg_FOLDERS)
      get_filename_component(leaf ${folder} NAME)
      list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_directory ${folder}
           $<TARGET_FILE_DIR:${name}>/${leaf})
    endforeach()
    add_custom_target(${name}_beside ALL ${copies})
    add_dependencies(${name} ${name}_beside)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  # A native program runs in a second, so one still running after a minute hangs; Wine starts
  # slowly.
  set(timeout 60)
  if(WIN32)
    set(timeout 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout})
  if(WIN32)
    # Under Wine passing needs GoogleTest's own closing line: a program that crashed part-way
    # (which Wine may report with exit code 0) fails instead of quietly losing its cases.
    set_tests_properties(${name} PROPERTIES
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ test"
      FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  endif()
endfunction()
