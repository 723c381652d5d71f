# Fails, naming each one, on an #include that points against the layers:
#   framework/ takes from platform/ only platform/winapi.h, and nothing from net/ or app/;
#   platform/ takes nothing from net/ or app/; net/ nothing from app/;
#   platform/posix/ (the emulation) is included only from inside it and by the files below.
# Usage: cmake -DVRK_SOURCE_DIR=<source tree> -P include_layers.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT IS_DIRECTORY "${VRK_SOURCE_DIR}")
  message(FATAL_ERROR "VRK_SOURCE_DIR must name the source tree")
endif()

# Besides the emulation itself: the header that hands it on to every layer above, the Linux
# entry point (it hands the emulation its arguments), and the fuzz targets and the tests that
# drive parts of it directly.
set(emulation_users
  platform/winapi.h
  app/main.cpp
  fuzz/fuzz_profile.cpp
  fuzz/fuzz_registry.cpp
  tests/platform/url_download_test.cpp
  tests/winapi/command_line_read_posix.cpp
  tests/winapi/errno_map_posix.cpp)

# Every folder of the tree but the build trees.
file(GLOB folders LIST_DIRECTORIES true RELATIVE "${VRK_SOURCE_DIR}" "${VRK_SOURCE_DIR}/*")
list(FILTER folders EXCLUDE REGEX "^(build|\\.)")
set(sources "")
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY "${VRK_SOURCE_DIR}/${folder}")
    file(GLOB_RECURSE found RELATIVE "${VRK_SOURCE_DIR}" "${VRK_SOURCE_DIR}/${folder}/*.h"
         "${VRK_SOURCE_DIR}/${folder}/*.cpp" "${VRK_SOURCE_DIR}/${folder}/*.rc")
    list(APPEND sources ${found})
  endif()
endforeach()

set(violations "")
foreach(source IN LISTS sources)
  file(STRINGS "${VRK_SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" target "${line}")
    set(broken "")
    if(target MATCHES "^platform/posix/" AND NOT source MATCHES "^platform/posix/"
       AND NOT source IN_LIST emulation_users)
      set(broken "only the emulation includes platform/posix/; others go through platform/winapi.h")
    elseif(source MATCHES "^framework/" AND target MATCHES "^platform/"
           AND NOT target STREQUAL "platform/winapi.h")
      set(broken "framework/ takes only platform/winapi.h from the platform")
    elseif(source MATCHES "^(framework|platform)/" AND target MATCHES "^(net|app)/")
      set(broken "framework/ and platform/ never include net/ or app/")
    elseif(source MATCHES "^net/" AND target MATCHES "^app/")
      set(broken "net/ never includes app/")
    endif()
    if(broken)
      string(APPEND violations "\n  ${source}: ${target} (${broken})")
    endif()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes against the layers:${violations}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files, every include along the layers")
