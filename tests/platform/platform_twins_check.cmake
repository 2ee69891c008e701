# The twin check on a copy of the platform folder: the real folder passes,
# and a copy with one twin removed (either way round) stops with a message
# naming the lonely file.
set(copy ${WORK}/platform)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run_check expect_ok expected_text)
  execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDER=${copy} -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expect_ok AND NOT result EQUAL 0)
    message(FATAL_ERROR "the complete folder was refused:\n${err}")
  endif()
  if(NOT expect_ok)
    if(result EQUAL 0)
      message(FATAL_ERROR "a missing twin was not noticed (${expected_text})")
    endif()
    string(FIND "${err}" "${expected_text}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the message does not name '${expected_text}':\n${err}")
    endif()
  endif()
endfunction()

file(COPY ${SOURCE} DESTINATION ${WORK})
run_check(TRUE "")

file(REMOVE ${copy}/temp_folder_win.cpp)
run_check(FALSE "temp_folder_posix.cpp has no temp_folder_win.cpp")

file(COPY ${SOURCE}/temp_folder_win.cpp DESTINATION ${copy})
file(REMOVE ${copy}/module_loader_posix.cpp)
run_check(FALSE "module_loader_win.cpp has no module_loader_posix.cpp")

# A shared file without a suffix, and a shared file of a pair, need no twin.
file(COPY ${SOURCE}/module_loader_posix.cpp DESTINATION ${copy})
file(WRITE ${copy}/only_shared.cpp "")
file(WRITE ${copy}/shell_open_common.cpp "")
run_check(TRUE "")
file(REMOVE_RECURSE ${WORK})
