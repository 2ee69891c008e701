# A presets page as a browser shows it: headless Chromium loads the page
# written by `lumenfall presets-page` and reports, through its DevTools
# protocol, that every picture (thumbnails, the grey ramp of a preset
# without one, the frame images) is complete.
#   -DLUMENFALL=... -DPYTHON=... -DCHECK=browser_images.py -DWORK=<folder>
# Without Chromium the test is skipped, unless LF_REQUIRE_READERS is set (the
# test command installs it, so there its absence is a failure).
cmake_minimum_required(VERSION 3.25)
find_program(CHROMIUM NAMES chromium chromium-browser google-chrome)
if(NOT CHROMIUM)
  if(DEFINED ENV{LF_REQUIRE_READERS})
    message(FATAL_ERROR "Chromium is not installed (scripts/install-deps.sh installs the package chromium)")
  endif()
  message("SKIPPED: Chromium is not installed; scripts/install-deps.sh installs the package chromium")
  return()
endif()
file(REMOVE_RECURSE ${WORK})
set(presets "${WORK}/my presets")
file(MAKE_DIRECTORY "${presets}" "${WORK}/a page")
foreach(preset "Sun & Moon|--no-thumbnail" "100% dusk|--set|sun radius=50" "#3 eclipse|--set|sun type=eclipse")
  string(REPLACE "|" ";" parts "${preset}")
  list(POP_FRONT parts name)
  execute_process(COMMAND ${LUMENFALL} preset save -q -o "${presets}/${name}.q4q" ${parts}
    RESULT_VARIABLE rc INPUT_FILE /dev/null)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot save the preset ${name}")
  endif()
endforeach()
execute_process(COMMAND ${LUMENFALL} presets-page "${presets}" -o "${WORK}/a page/presets.html" -q
  RESULT_VARIABLE rc INPUT_FILE /dev/null)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "presets-page failed (${rc})")
endif()
# Three cells of five pictures each.
execute_process(COMMAND ${PYTHON} ${CHECK} ${CHROMIUM} "${WORK}/a page/presets.html" 15 90
  RESULT_VARIABLE rc INPUT_FILE /dev/null)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Chromium did not show every picture of the page")
endif()
