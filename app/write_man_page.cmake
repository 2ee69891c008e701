# Writes the manual page: cmake -DPROGRAM=lumenfall -DOUT=lumenfall.1 -P write_man_page.cmake
get_filename_component(folder ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${PROGRAM} --man OUTPUT_FILE ${OUT}.new RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUT}.new)
  message(FATAL_ERROR "${PROGRAM} --man failed (${result})")
endif()
file(RENAME ${OUT}.new ${OUT})
