# Runs the same `lumenfall psd` command with the native build and with the
# Windows build under wine and requires byte-identical PSD files.
# cmake -DNATIVE=<lumenfall> -DWINDOWS=<lumenfall.exe> -DWINE=<wine64> -DWORK=<folder>
#       -DARGS=<arguments separated by commas> -P compare_psd.cmake
string(REPLACE "," ";" ARGS "${ARGS}")
foreach(side native windows)
  file(REMOVE_RECURSE ${WORK}/${side})
  file(MAKE_DIRECTORY ${WORK}/${side})
endforeach()

# Output goes to files, never to a pipe: a wine process must not hold the
# test's output pipe open.
execute_process(COMMAND ${NATIVE} psd ${ARGS} -o out.psd -q
  WORKING_DIRECTORY ${WORK}/native RESULT_VARIABLE native_rc
  OUTPUT_FILE ${WORK}/native/stdout.txt ERROR_FILE ${WORK}/native/stderr.txt)
execute_process(COMMAND ${WINE} ${WINDOWS} psd ${ARGS} -o out.psd -q
  WORKING_DIRECTORY ${WORK}/windows RESULT_VARIABLE windows_rc INPUT_FILE /dev/null
  OUTPUT_FILE ${WORK}/windows/stdout.txt ERROR_FILE ${WORK}/windows/stderr.txt)
if(NOT native_rc EQUAL 0 OR NOT windows_rc EQUAL 0)
  file(READ ${WORK}/native/stderr.txt native_err)
  file(READ ${WORK}/windows/stderr.txt windows_err)
  message(FATAL_ERROR "exit codes: native ${native_rc}, windows ${windows_rc}\n"
                      "native: ${native_err}\nwindows: ${windows_err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/native/out.psd ${WORK}/windows/out.psd
  RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "out.psd differs between the native and the Windows build (see ${WORK})")
endif()
file(GLOB left ${WORK}/windows/*)
list(LENGTH left count)
if(NOT count EQUAL 3)
  message(FATAL_ERROR "the Windows program left other files beside out.psd: ${left}")
endif()
file(SIZE ${WORK}/native/out.psd size)
message(STATUS "the same ${size}-byte PSD file")
