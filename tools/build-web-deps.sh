#!/usr/bin/env bash
# Builds the libraries the web build links (zlib, libpng, FreeType, libogg,
# libvorbis, and with --with-sdl2 SDL2 for the browser page) for WebAssembly
# with Debian's Emscripten, from Debian's own source packages, and prints the
# install prefix on the last line of its output. Emscripten's ports, which
# download their sources, cannot be used. The simulator under Node.js needs no
# SDL2: the page's prefix is the simulator's plus SDL2, cached on its own.
#
# The result is cached outside the clone, keyed by the source versions, the
# emcc version and RECIPE (raise it whenever the way the libraries are built
# changes), so a second run (or another clone) costs nothing:
#   ${ZAP_WEB_DEPS:-~/.cache/zaptomania-web-deps}/<key>/prefix
#
# Needs emscripten, cmake, make and dpkg-dev (tools/install-deps.sh --web
# installs them). Adds a deb-src entry for the main archive when none is there
# (tools/deb-sources.sh).
set -euo pipefail

RECIPE=1
CACHE_ROOT=${ZAP_WEB_DEPS:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/zaptomania-web-deps}
SRC_PACKAGES=(zlib libpng1.6 freetype libogg libvorbis)
LIBS=(libz.a libpng16.a libfreetype.a libogg.a libvorbis.a libvorbisfile.a)
with_sdl2=false
case "${1:-}" in
--with-sdl2)
    with_sdl2=true
    ;;
"") ;;
*)
    echo "usage: tools/build-web-deps.sh [--with-sdl2]" >&2
    exit 2
    ;;
esac
JOBS=${JOBS:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/../cmake/emscripten.cmake
# Debian's Emscripten finds its Node.js modules here; its own Python avoids a
# shadowing one on the PATH.
export NODE_PATH=/usr/share/nodejs EMSDK_PYTHON=/usr/bin/python3

log() { echo "build-web-deps: $* (${SECONDS} s)" >&2; }

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# shellcheck source=tools/deb-sources.sh
. "$here/deb-sources.sh"

for tool in emcc emar emranlib cmake make dpkg-source; do
    if ! command -v "$tool" >/dev/null; then
        log "$tool is missing (run tools/install-deps.sh --web)"
        exit 1
    fi
done

emver=$(emcc --version 2>/dev/null | sed -n 1p) # reads it all: no SIGPIPE under pipefail
sdl2_checks=$here/web/sdl2-emscripten-checks.cmake
if $with_sdl2; then
    # The simulator's libraries first (cached), then a prefix that holds them and SDL2.
    base=$(bash "$0" | tail -1)
    begin_cached_build "$CACHE_ROOT" "recipe $RECIPE: $emver: SDL2 over $base: $(sha256sum <"$sdl2_checks")" libsdl2
    cp -a "$base/." "$prefix/"
    LIBS+=(libSDL2.a)
else
    begin_cached_build "$CACHE_ROOT" "recipe $RECIPE: $emver" "${SRC_PACKAGES[@]}"
fi

export CC=emcc CXX=em++ AR=emar RANLIB=emranlib
common_cmake=(-G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DZAP_WEB_PREFIX="$prefix"
    -DBUILD_SHARED_LIBS=OFF)

finish() {
    for lib in "${LIBS[@]}"; do
        if [ ! -f "$prefix/lib/$lib" ]; then
            log "$lib was not built"
            exit 1
        fi
    done
    echo "$versions $emver" >"$dest/versions"
    touch "$dest/done"
    log "done"
    echo "$prefix"
    exit 0
}

# SDL2 for the browser page: no threads (a page served from a game host's zip
# is not cross-origin isolated), static only, no test programs. Its configure
# checks' results for Emscripten are given (they would take minutes).
if $with_sdl2; then
    cmake_build sdl2 "$(srcdir libsdl2)" -C "$sdl2_checks" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
        -DSDL_PTHREADS=OFF -DSDL_THREADS=OFF
    finish
fi

# zlib: a handful of C files; compiled directly into a plain static libz.a
# (with what its configure script would find: unistd.h, stdarg.h).
log "zlib"
z=$(srcdir zlib)
mkdir "$work/build-zlib"
for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
    uncompr zutil; do
    "$CC" -O2 -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$z/$c.c" -o "$work/build-zlib/$c.o"
done
"$AR" rcs "$prefix/lib/libz.a" "$work"/build-zlib/*.o
install -m 644 "$z/zlib.h" "$z/zconf.h" "$prefix/include/"
zver=$(awk -F'"' '/#define ZLIB_VERSION/ {print $2}' "$z/zlib.h")
cat >"$prefix/lib/pkgconfig/zlib.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: zlib
Description: zlib compression library
Version: $zver
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
PC

cmake_build libpng "$(srcdir libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
# The game only reads TrueType files: no bitmap-font compression beyond zlib,
# no shaping.
cmake_build freetype "$(srcdir freetype)" -DFT_REQUIRE_ZLIB=ON -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON \
    -DFT_DISABLE_BROTLI=ON
# CMake's type-size checks read the sizes out of the test program, which emcc
# turns into JavaScript that does not hold them: the sizes of wasm32 are given.
ogg_sizes=()
for s in INT16:2 UINT16:2 U_INT16:2 INT32:4 UINT32:4 U_INT32:4 INT64:8 SHORT:2 INT:4 LONG:4 LONG_LONG:8; do
    ogg_sizes+=("-DHAVE_${s%%:*}_SIZE=TRUE" "-D${s%%:*}_SIZE=${s##*:}")
done
cmake_build libogg "$(srcdir libogg)" -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF "${ogg_sizes[@]}"
# The floating-point flags of Debian's own autotools build on Linux (its -O2
# last), less the x86-only -mno-ieee-fp: decoding should give the samples
# Debian's libvorbis gives.
cmake_build libvorbis "$(srcdir libvorbis)" -DOGG_ROOT="$prefix" -DOGG_INCLUDE_DIR="$prefix/include" \
    -DOGG_LIBRARY="$prefix/lib/libogg.a" -DCMAKE_BUILD_TYPE= \
    -DCMAKE_C_FLAGS="-O2 -ffast-math -D_REENTRANT -fsigned-char"
finish
