# Runs the table dump of the native build and of the Windows build under wine
# and requires the same text.
# cmake -DNATIVE=<lf_tabledump> -DWINDOWS=<lf_tabledump.exe> -DWINE=<wine64> -DWORK=<folder> -P compare_tables.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${NATIVE} ${WORK}/native.txt RESULT_VARIABLE native_rc)
execute_process(COMMAND ${WINE} ${WINDOWS} ${WORK}/windows.txt RESULT_VARIABLE windows_rc INPUT_FILE /dev/null
  OUTPUT_FILE ${WORK}/windows.stdout ERROR_FILE ${WORK}/windows.stderr)
if(NOT native_rc EQUAL 0 OR NOT windows_rc EQUAL 0)
  message(FATAL_ERROR "exit codes: native ${native_rc}, windows ${windows_rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/native.txt ${WORK}/windows.txt RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "the table dumps differ: diff ${WORK}/native.txt ${WORK}/windows.txt")
endif()
file(SIZE ${WORK}/native.txt size)
message(STATUS "the same ${size}-byte table dump on both builds")
