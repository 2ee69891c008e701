# What a release installs, and the packages CPack makes of it
# (scripts/package.sh): the Debian package on Linux, the archive for Windows.
# The version is the project's.
file(GLOB LF_LIBRARY_PRESETS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/presets/*.q4q)
list(LENGTH LF_LIBRARY_PRESETS LF_PRESET_COUNT)

set(CPACK_PACKAGE_NAME lumenfall)
set(CPACK_PACKAGE_VENDOR "The Lumenfall developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "filter that draws fantasy suns into images")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # A flat archive: the plug-in, the program beside it (it loads the plug-in
  # from its own folder and the presets from presets\), a README with the
  # line ends Windows editors expect.
  set(LF_PLUGIN_CATEGORY "")
  set(LF_PLUGIN_MENU_NAME "")
  file(STRINGS ${PROJECT_SOURCE_DIR}/src/params/plugin_resources.h LF_RESOURCE_LINES REGEX "kPlugin(Category|MenuName) =")
  foreach(line ${LF_RESOURCE_LINES})
    string(REGEX REPLACE ".*kPlugin(Category|MenuName) = \"([^\"]*)\".*" "\\1;\\2" pair "${line}")
    list(GET pair 0 key)
    list(GET pair 1 value)
    if(key STREQUAL Category)
      set(LF_PLUGIN_CATEGORY "${value}")
    else()
      set(LF_PLUGIN_MENU_NAME "${value}")
    endif()
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-readme.txt.in ${CMAKE_BINARY_DIR}/package/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/package/LICENSE.txt COPYONLY)
  install(TARGETS lf_plugin LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(TARGETS lumenfall RUNTIME DESTINATION .)
  install(FILES ${LF_LIBRARY_PRESETS} DESTINATION presets)
  install(FILES ${CMAKE_BINARY_DIR}/package/README.txt ${CMAKE_BINARY_DIR}/package/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGE_FILE_NAME Lumenfall-${PROJECT_VERSION}-win64)
else()
  # The program and the plug-in module live together in lib/lumenfall (the
  # program loads the module from its own folder, and finds the presets at
  # ../../share/lumenfall/presets from there); bin/lumenfall links to it.
  install(TARGETS lumenfall RUNTIME DESTINATION lib/lumenfall)
  install(TARGETS lf_plugin LIBRARY DESTINATION lib/lumenfall)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
  file(CREATE_LINK ../lib/lumenfall/lumenfall ${CMAKE_BINARY_DIR}/package/lumenfall SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/package/lumenfall DESTINATION bin)
  install(FILES ${LF_LIBRARY_PRESETS} DESTINATION share/lumenfall/presets)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/lumenfall)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION share/doc/lumenfall RENAME copyright)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_NAME lumenfall)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Lumenfall developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/cpack-project.cmake.in ${CMAKE_BINARY_DIR}/package/cpack-project.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package/cpack-project.cmake)
  # The GEGL operation and the GIMP plug-in are extras: whoever has GIMP or
  # GEGL gets them, nobody needs them for the program and the plug-in module.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gimp (>= 2.10), libgegl-0.4-0")
  # The summary above is the first line; CPack indents these lines.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lumenfall draws fantasy suns into images: a textured sun disc, radiating
spikes with diffraction colours, a halo, a rainbow bow and lens-flare
wedges, blended onto the picture through nineteen glue modes.

This package holds the lumenfall command (PNG, JPEG and TIFF files), the
filter as a plug-in module, and a library of presets (lumenfall preset list).")
endif()

# Files the Debian package must hold besides the program, the module and
# the presets, one ending of a path a line: the manual page, and the GEGL
# operation and the GIMP plug-in when this build makes them (a build with
# LF_REQUIRE_GIMP, as the test command's, always does) (tests/package).
set(LF_PACKAGE_REQUIRED "")
if(TARGET lumenfall_man)
  list(APPEND LF_PACKAGE_REQUIRED "/share/man/man1/lumenfall.1")
endif()
if(TARGET lumenfall-gegl)
  list(APPEND LF_PACKAGE_REQUIRED "/gegl-0.4/lumenfall-gegl.so")
endif()
if(TARGET lumenfall-gimp)
  list(APPEND LF_PACKAGE_REQUIRED "/plug-ins/lumenfall-gimp/lumenfall-gimp")
endif()
string(JOIN "\n" LF_PACKAGE_REQUIRED_TEXT ${LF_PACKAGE_REQUIRED})
file(WRITE ${CMAKE_BINARY_DIR}/package/required-files.txt "${LF_PACKAGE_REQUIRED_TEXT}\n")

include(CPack)
