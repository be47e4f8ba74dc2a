# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads).
# The dependency prefix made by scripts/windows/build-prefix is searched when TAV_MINGW_PREFIX is
# given (as a cache variable or in the environment).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAV_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TAV_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAV_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${TAV_MINGW_TRIPLE}-strip CACHE FILEPATH "")

if(NOT TAV_MINGW_PREFIX AND DEFINED ENV{TAV_MINGW_PREFIX})
  set(TAV_MINGW_PREFIX "$ENV{TAV_MINGW_PREFIX}")
endif()
# try_compile() projects read the toolchain file again and need the same roots.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAV_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${TAV_MINGW_TRIPLE})
if(TAV_MINGW_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${TAV_MINGW_PREFIX}")
endif()
# Build tools (moc, rcc, uic) come from the host; libraries and headers only from the roots, so
# that the host's Linux libraries are never picked up.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

