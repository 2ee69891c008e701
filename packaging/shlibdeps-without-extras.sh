#!/bin/sh
# dpkg-shlibdeps for the Debian package, leaving out the files that only
# GEGL or GIMP load (the GEGL operation in GEGL's folder, the GIMP plug-in
# in GIMP's): whoever has GEGL or GIMP has their libraries, so they are
# recommended, not required. Every other argument passes unchanged.
for arg do
  shift
  case $arg in
    */gegl-0.4/*|*/gimp/2.0/plug-ins/*) ;;
    *) set -- "$@" "$arg" ;;
  esac
done
exec dpkg-shlibdeps "$@"
