# Building for WebAssembly with Debian's Emscripten (emcc 3.1.6). The
# libraries come from the prefix that tools/build-web-deps.sh prints:
#
#   cmake -S . -B build-web -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake \
#         -DZAP_WEB_PREFIX=<prefix printed by tools/build-web-deps.sh>
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Debian's Emscripten finds its Node.js modules only with NODE_PATH, and its
# own Python avoids a shadowing one: every compile and link gets both, however
# the build is started.
set(ZAP_EMCC_ENV env NODE_PATH=/usr/share/nodejs EMSDK_PYTHON=/usr/bin/python3)
set(CMAKE_C_COMPILER_LAUNCHER ${ZAP_EMCC_ENV})
set(CMAKE_CXX_COMPILER_LAUNCHER ${ZAP_EMCC_ENV})
set(CMAKE_C_LINKER_LAUNCHER ${ZAP_EMCC_ENV})
set(CMAKE_CXX_LINKER_LAUNCHER ${ZAP_EMCC_ENV})
set(ENV{NODE_PATH} /usr/share/nodejs)
set(ENV{EMSDK_PYTHON} /usr/bin/python3)

if(ZAP_WEB_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${ZAP_WEB_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} ${ZAP_WEB_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
# The toolchain file is read again by try_compile projects: pass the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZAP_WEB_PREFIX)

# C++ exceptions on: the game throws at start-up and in its loaders, and the
# simulator stops through an exception. They are the JavaScript-based ones:
# WebAssembly exceptions cannot be combined with Asyncify in this version.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")
