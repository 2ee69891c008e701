# Every OS-specific file of a folder has its twin: a name_posix.cpp needs a
# name_win.cpp and the reverse, or one build would silently lack what the
# other has (and fail only at link time, or not at all if nothing calls it
# yet). Code shared by both goes in a file without the suffix.
#
# Included: lf_check_platform_twins(<folder>) stops the configuration.
# As a script: cmake -DFOLDER=<folder> -P LumenfallPlatformTwins.cmake
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

function(lf_check_platform_twins folder)
  file(GLOB posix RELATIVE ${folder} ${folder}/*_posix.cpp)
  file(GLOB win RELATIVE ${folder} ${folder}/*_win.cpp)
  set(missing "")
  foreach(file IN LISTS posix)
    string(REGEX REPLACE "_posix\\.cpp$" "_win.cpp" twin "${file}")
    if(NOT twin IN_LIST win)
      string(APPEND missing "\n  ${file} has no ${twin}")
    endif()
  endforeach()
  foreach(file IN LISTS win)
    string(REGEX REPLACE "_win\\.cpp$" "_posix.cpp" twin "${file}")
    if(NOT twin IN_LIST posix)
      string(APPEND missing "\n  ${file} has no ${twin}")
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "Missing platform twin in ${folder}:${missing}\n"
                        "Give each its twin for the other OS, or move code both share "
                        "to a file without the _posix/_win suffix.")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED FOLDER)
  lf_check_platform_twins("${FOLDER}")
endif()
