# Checks a Windows module's export and import tables with objdump:
# the exports are exactly EXPORTS (when given), and every imported DLL is a
# system DLL (no MinGW runtime, no C++ runtime, no image libraries).
# cmake -DOBJDUMP=... -DMODULE=... [-DEXPORTS=PluginMain] -P check_module.cmake
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()

set(system_dlls kernel32.dll user32.dll gdi32.dll msvcrt.dll shell32.dll comdlg32.dll comctl32.dll
    advapi32.dll ole32.dll oleaut32.dll shlwapi.dll uxtheme.dll msimg32.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(failed 0)
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  list(FIND system_dlls ${lower} known)
  if(known EQUAL -1)
    message(SEND_ERROR "${MODULE} imports ${dll}, which is not a system DLL")
    set(failed 1)
  else()
    message(STATUS "imports ${dll}")
  endif()
endforeach()
if(NOT imports)
  message(SEND_ERROR "no import table found in ${MODULE}")
endif()

if(DEFINED EXPORTS)
  # Lines of the export name table look like "\t[   0] PluginMain".
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)" table "${dump}")
  # Brackets would confuse CMake's list splitting: name the lines first.
  string(REGEX REPLACE "[ \t]+\\[ *[0-9]+\\][ \t]+" "EXPORT:" table "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "EXPORT:[^\n]+" names "${table}")
  set(found "")
  foreach(name ${names})
    string(REPLACE "EXPORT:" "" name "${name}")
    list(APPEND found ${name})
  endforeach()
  if(NOT found STREQUAL EXPORTS)
    message(SEND_ERROR "${MODULE} exports '${found}', expected exactly '${EXPORTS}'")
  else()
    message(STATUS "exports ${found}")
  endif()
endif()
