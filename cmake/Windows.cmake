# The Windows build, cross-compiled on Linux:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DTAV_MINGW_PREFIX=$(scripts/windows/build-prefix)
# (scripts/windows/build-zip does all of it). Its programs and tests run under Wine.
if(CMAKE_CROSSCOMPILING)
  if(NOT TAV_MINGW_PREFIX)
    message(FATAL_ERROR "TAV_MINGW_PREFIX must name the prefix made by scripts/windows/build-prefix")
  endif()
  # pkg-config (libsodium) looks in the prefix alone, never at the host's Linux libraries.
  set(ENV{PKG_CONFIG_LIBDIR} ${TAV_MINGW_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    # Every test gets the same Wine prefix of this build folder, made on first use.
    set(CMAKE_CROSSCOMPILING_EMULATOR
      ${PROJECT_SOURCE_DIR}/scripts/windows/wine-run ${TAV_MINGW_PREFIX} ${CMAKE_BINARY_DIR}/wineprefix)
  endif()
endif()

# What `cmake --install` puts beside tav.exe so that the folder runs on a Windows machine with
# nothing else installed: the Qt, libcurl, libarchive and libsodium DLLs with theirs, and the MinGW runtime
# (all in the prefix's bin, stripped there), and the Qt plugins in the subfolders where Qt looks
# for them beside the executable.
function(tav_install_windows_runtime)
  set(dlls Qt6Core Qt6Gui Qt6Widgets libcurl libarchive liblzma-5 libsodium-23 zlib1 libstdc++-6
    libgcc_s_seh-1 libwinpthread-1)
  foreach(dll IN LISTS dlls)
    install(FILES ${TAV_MINGW_PREFIX}/bin/${dll}.dll DESTINATION .)
  endforeach()
  install(FILES ${TAV_MINGW_PREFIX}/plugins/platforms/qwindows.dll DESTINATION platforms)
  install(FILES ${TAV_MINGW_PREFIX}/plugins/styles/qwindowsvistastyle.dll DESTINATION styles)
  # A window of its own, no console beside it.
  set_target_properties(tav PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
