# Runs the same `lumenfall` command with the native build and with the
# Windows build under wine, and requires byte-identical output files and the
# same log of host calls (line endings aside: the Windows program writes its
# text log with CRLF).
# cmake -DNATIVE=<lumenfall> -DWINDOWS=<lumenfall.exe> -DWINE=<wine64> -DWORK=<folder>
#       -DOUTPUT=<file name> -DARGS=<arguments separated by commas> -P compare_render.cmake
string(REPLACE "," ";" ARGS "${ARGS}")
foreach(side native windows)
  file(REMOVE_RECURSE ${WORK}/${side})
  file(MAKE_DIRECTORY ${WORK}/${side})
endforeach()

# Output goes to files, never to a pipe: a wine process must not hold the
# test's output pipe open.
execute_process(COMMAND ${NATIVE} ${ARGS} -o ${OUTPUT} --log calls.log -q
  WORKING_DIRECTORY ${WORK}/native RESULT_VARIABLE native_rc
  OUTPUT_FILE ${WORK}/native/stdout.txt ERROR_FILE ${WORK}/native/stderr.txt)
execute_process(COMMAND ${WINE} ${WINDOWS} ${ARGS} -o ${OUTPUT} --log calls.log -q
  WORKING_DIRECTORY ${WORK}/windows RESULT_VARIABLE windows_rc INPUT_FILE /dev/null
  OUTPUT_FILE ${WORK}/windows/stdout.txt ERROR_FILE ${WORK}/windows/stderr.txt)
if(NOT native_rc EQUAL 0 OR NOT windows_rc EQUAL 0)
  file(READ ${WORK}/native/stderr.txt native_err)
  file(READ ${WORK}/windows/stderr.txt windows_err)
  message(FATAL_ERROR "exit codes: native ${native_rc}, windows ${windows_rc}\n"
                      "native: ${native_err}\nwindows: ${windows_err}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/native/${OUTPUT} ${WORK}/windows/${OUTPUT}
  RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "${OUTPUT} differs between the native and the Windows build (see ${WORK})")
endif()

file(READ ${WORK}/native/calls.log native_log)
file(READ ${WORK}/windows/calls.log windows_log)
string(REPLACE "\r\n" "\n" windows_log "${windows_log}")
if(NOT native_log STREQUAL windows_log)
  file(WRITE ${WORK}/windows/calls.lf.log "${windows_log}")
  message(FATAL_ERROR "the host-call logs differ: diff ${WORK}/native/calls.log ${WORK}/windows/calls.lf.log")
endif()
string(LENGTH "${native_log}" log_size)
message(STATUS "same ${OUTPUT} and the same ${log_size}-byte call log")
