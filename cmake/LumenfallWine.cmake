# Tests that run Windows programs under wine, in the cross build tree.
#
# One wine session per ctest run: the fixture test wine_start creates the
# prefix (under the build folder) on first use, starts a persistent
# wineserver and wine's system processes with every standard handle
# redirected (they would otherwise inherit ctest's output pipe and hold it
# open), turns off wine's window manager wait and its crash dialog; wine_stop
# ends the session. Windows that need a display run under xvfb-run:
#   xvfb-run -a -s "-screen 0 1024x768x24" ctest -L wine
set(LF_WINE_LOADER /usr/lib/wine/wine64)
set(LF_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(LF_WINE_ENVIRONMENT "WINEPREFIX=${LF_WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
set(LF_WINE_SESSION ${PROJECT_SOURCE_DIR}/tests/wine/wine_session.sh)

add_test(NAME wine_start COMMAND sh ${LF_WINE_SESSION} start)
add_test(NAME wine_stop COMMAND sh ${LF_WINE_SESSION} stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP WINE TIMEOUT 120 LABELS wine
  ENVIRONMENT "${LF_WINE_ENVIRONMENT}")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP WINE TIMEOUT 60 LABELS wine
  ENVIRONMENT "${LF_WINE_ENVIRONMENT}")

# lf_wine_test(NAME name COMMAND program args... [ENVIRONMENT var=value...] [SKIP_RETURN_CODE n])
# A COMMAND that names an executable target gets the wine loader prepended
# through CMAKE_CROSSCOMPILING_EMULATOR.
function(lf_wine_test)
  cmake_parse_arguments(T "" "NAME;SKIP_RETURN_CODE" "COMMAND;ENVIRONMENT" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED WINE TIMEOUT 60 LABELS wine
    ENVIRONMENT "${LF_WINE_ENVIRONMENT};${T_ENVIRONMENT}")
  if(T_SKIP_RETURN_CODE)
    set_tests_properties(${T_NAME} PROPERTIES SKIP_RETURN_CODE ${T_SKIP_RETURN_CODE})
  endif()
endfunction()
