# Cross-building for 64-bit Windows with Debian's mingw-w64 toolchain. The
# -posix compilers are the ones with std::thread; everything is linked
# statically so that the executables need no DLL beyond the system's.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DZAP_WIN_PREFIX=<prefix printed by tools/build-win-deps.sh>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZAP_MINGW_HOST x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZAP_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAP_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAP_MINGW_HOST}-windres)
set(CMAKE_AR ${ZAP_MINGW_HOST}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZAP_MINGW_HOST}-ranlib CACHE FILEPATH "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Libraries come from the mingw sysroot and the cross-built prefix only.
set(CMAKE_FIND_ROOT_PATH /usr/${ZAP_MINGW_HOST})
if(ZAP_WIN_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${ZAP_WIN_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} ${ZAP_WIN_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The toolchain file is read again by try_compile projects: pass the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZAP_WIN_PREFIX)

# Build-time helpers (the asset embedder) and the tests run under Wine.
find_program(ZAP_WINE NAMES wine64 wine)
if(ZAP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
endif()
