# Cross build for 64-bit Windows with Debian's MinGW-w64 toolchain.
# The compilers are named with their -posix suffix on purpose: when the
# -win32 thread-model variant is also installed, the unsuffixed names may
# point to it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LF_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${LF_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LF_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${LF_MINGW_PREFIX}-windres)
set(CMAKE_AR           ${LF_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       ${LF_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP      ${LF_MINGW_PREFIX}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${LF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: with the posix thread model only -static also pulls
# winpthread in, so the module imports nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs built here run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
