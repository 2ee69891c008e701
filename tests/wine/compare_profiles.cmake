# Renders with every host profile of `lumenfall` and requires the same files
# as the program's own host gives, nothing left outstanding once the host has
# released the plug-in's data, and settings that survive between the runs of
# one host. Runs the native program, or the Windows one when WINE is given.
# cmake -DPROGRAM=<lumenfall> [-DWINE=<wine64>] -DWORK=<folder> -DSMALL=<png> -P compare_profiles.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tmp)

# Runs without a descriptor read the plug-in's cached settings: start each
# from none, in a temporary folder of this test (natively) or by removing
# the cached file from the prefix's temporary folder (wine).
function(forget_cached_settings)
  if(WINE)
    file(GLOB cached "$ENV{WINEPREFIX}/drive_c/users/*/AppData/Local/Temp/Lumenfall cached settings C"
                     "$ENV{WINEPREFIX}/drive_c/users/*/Temp/Lumenfall cached settings C")
    if(cached)
      file(REMOVE ${cached})
    endif()
  else()
    file(REMOVE_RECURSE ${WORK}/tmp)
    file(MAKE_DIRECTORY ${WORK}/tmp)
  endif()
endfunction()

# run(<name> <expected exit code> args...): output files go to files, never
# to a pipe, so that no wine process holds the test's pipe open.
function(run name expect)
  set(command ${PROGRAM} ${ARGN} --log ${name}.log -q)
  if(WINE)
    set(command ${WINE} ${command})
  else()
    set(command ${CMAKE_COMMAND} -E env TMPDIR=${WORK}/tmp XDG_RUNTIME_DIR=${WORK}/tmp ${command})
  endif()
  execute_process(COMMAND ${command} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc INPUT_FILE /dev/null
    OUTPUT_FILE ${WORK}/${name}.out ERROR_FILE ${WORK}/${name}.err)
  if(NOT rc EQUAL expect)
    file(READ ${WORK}/${name}.err err)
    message(FATAL_ERROR "${name}: exit code ${rc}, expected ${expect}: ${err}")
  endif()
  file(STRINGS ${WORK}/${name}.log counters REGEX "^(buffers allocated|after release)")
  list(LENGTH counters lines)
  list(GET counters 0 buffers)
  if(NOT lines EQUAL 2 OR NOT buffers MATCHES "outstanding 0$"
     OR NOT counters MATCHES "after release: buffers outstanding 0, handles outstanding 0")
    message(FATAL_ERROR "${name}: memory left outstanding: ${counters}")
  endif()
endfunction()

function(same a b)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${a} ${WORK}/${b} RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${a} and ${b} differ (see ${WORK})")
  endif()
endfunction()

set(case_default "render")
set(case_screen "render;${SMALL};--set;glue=screen;--set;sun radius=60")
set(case_eclipse "render;${SMALL};--set;sun type=eclipse;--set;random seed=7;--set;X center=0.2")
set(case_deep "render;${SMALL};--depth;16;--set;flare detail=0;--set;monopoles=on")
set(cases default screen eclipse deep)

forget_cached_settings()
foreach(case ${cases})
  run(${case} 0 ${case_${case}} -o ${case}.png)
endforeach()

# A host without scripting renders the defaults; --set cannot reach it.
forget_cached_settings()
run(minimal_default 0 render --host-profile minimal -o minimal_default.png)
same(default.png minimal_default.png)

foreach(profile quirky-handles host-loops dialog-every-run no-parameters-selector prepare-twice)
  # Where the dialog exists (the Windows build) the host's dialog is
  # answered with OK, and the default sun is what is compared.
  set(answer "")
  set(profile_cases ${cases})
  if(WINE AND profile STREQUAL "dialog-every-run")
    set(answer --ui-script ${CMAKE_CURRENT_LIST_DIR}/dialog/ok.ui)
    set(profile_cases default)
  endif()
  foreach(case ${profile_cases})
    run(${profile}_${case} 0 ${case_${case}} --host-profile ${profile} ${answer} -o ${profile}_${case}.png)
    same(${case}.png ${profile}_${case}.png)
  endforeach()
endforeach()

# Other hosts' signatures: the same sun (PSP9 reads no descriptor, so it
# gets the defaults only).
foreach(sig 8BIM 8ELE)
  run(sig_${sig} 0 ${case_screen} --host-sig ${sig} -o sig_${sig}.png)
  same(screen.png sig_${sig}.png)
endforeach()
forget_cached_settings()
run(sig_PSP9 0 render --host-sig PSP9 -o sig_PSP9.png)
same(default.png sig_PSP9.png)

# Settings set in the first run of a host survive into its second run.
forget_cached_settings()
run(kept_once 0 ${case_screen} --record -o kept_once.png)
forget_cached_settings()
run(kept_twice 0 ${case_screen} --host-profile quirky-handles --repeat 2 --set-once --record -o kept_twice.png)
same(kept_once.out kept_twice.out)
same(kept_once.png kept_twice.png)

# A run cancelled after start ends with finish alone and leaves nothing held.
run(cancelled 130 render ${SMALL} --host-profile cancel-after-start -o cancelled.png)
message(STATUS "every host profile gives the same files and leaves nothing outstanding")
