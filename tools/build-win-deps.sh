#!/usr/bin/env bash
# Builds the libraries the Windows build links statically (zlib, libpng,
# FreeType, libogg, libvorbis) for x86_64-w64-mingw32 from Debian's own source
# packages, and prints the install prefix on the last line of its output.
#
# The result is cached outside the clone, keyed by the source versions and by
# RECIPE (raise it whenever the way the libraries are built changes), so a
# second run (or another clone) costs nothing:
#   ${ZAP_WIN_DEPS:-~/.cache/zaptomania-win-deps}/<key>/prefix
#
# Needs the mingw-w64 -posix compilers, cmake, make and dpkg-dev
# (tools/install-deps.sh --windows installs them). Adds a deb-src entry for the
# main archive when none is there (tools/deb-sources.sh).
set -euo pipefail

HOST=x86_64-w64-mingw32
RECIPE=1
CACHE_ROOT=${ZAP_WIN_DEPS:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/zaptomania-win-deps}
SRC_PACKAGES=(zlib libpng1.6 freetype libogg libvorbis)
JOBS=${JOBS:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/../cmake/mingw-w64-x86_64.cmake

log() { echo "build-win-deps: $*" >&2; }

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# shellcheck source=tools/deb-sources.sh
. "$here/deb-sources.sh"

for tool in ${HOST}-gcc-posix ${HOST}-g++-posix cmake make dpkg-source; do
    if ! command -v "$tool" >/dev/null; then
        log "$tool is missing (run tools/install-deps.sh --windows)"
        exit 1
    fi
done

begin_cached_build "$CACHE_ROOT" "recipe $RECIPE" "${SRC_PACKAGES[@]}"

export CC=${HOST}-gcc-posix CXX=${HOST}-g++-posix AR=${HOST}-ar RANLIB=${HOST}-ranlib
common_cmake=(-G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DZAP_WIN_PREFIX="$prefix"
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF)

# zlib: a handful of C files; compiled directly into a plain static libz.a
# (its own build files would also make a DLL and name the archive otherwise).
log "zlib"
z=$(srcdir zlib)
mkdir "$work/build-zlib"
for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
    uncompr zutil; do
    "$CC" -O2 -c "$z/$c.c" -o "$work/build-zlib/$c.o"
done
"$AR" rcs "$prefix/lib/libz.a" "$work"/build-zlib/*.o
install -m 644 "$z/zlib.h" "$z/zconf.h" "$prefix/include/"
zver=$(awk -F'"' '/#define ZLIB_VERSION/ {print $2}' "$z/zlib.h")
cat >"$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: zlib
Description: zlib compression library
Version: $zver
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
EOF

cmake_build libpng "$(srcdir libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
# The game only reads TrueType files: no bitmap-font compression beyond zlib
# (taken from the zlib above, not FreeType's own copy, which would clash with
# it at link time), no shaping.
cmake_build freetype "$(srcdir freetype)" -DFT_REQUIRE_ZLIB=ON -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON \
    -DFT_DISABLE_BROTLI=ON
cmake_build libogg "$(srcdir libogg)" -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
# Decoding must give the very samples that Debian's own libvorbis gives on
# Linux, so that both builds of the game mix the same sound: the floating-point
# flags are the ones its autotools build uses on x86-64 Linux (where the last
# -O, Debian's -O2, wins), not CMake's Release flags, whose different rounding
# changes a few hundred samples by one.
cmake_build libvorbis "$(srcdir libvorbis)" -DOGG_ROOT="$prefix" -DOGG_INCLUDE_DIR="$prefix/include" \
    -DOGG_LIBRARY="$prefix/lib/libogg.a" -DCMAKE_BUILD_TYPE= \
    -DCMAKE_C_FLAGS="-g -O2 -ffast-math -mno-ieee-fp -D_REENTRANT -fsigned-char"

for lib in libz.a libpng16.a libfreetype.a libogg.a libvorbis.a libvorbisfile.a; do
    if [ ! -f "$prefix/lib/$lib" ]; then
        log "$lib was not built"
        exit 1
    fi
done
echo "$versions" >"$dest/versions"
touch "$dest/done"
log "done"
echo "$prefix"
