# Sourced by the scripts that build libraries from Debian's source packages
# (tools/build-win-deps.sh, tools/build-web-deps.sh): finding and fetching
# source versions, the cache the built libraries live in, and building a CMake
# project into it. Expects log(), $sudo, and for cmake_build $work, $JOBS and
# common_cmake from the caller.

# A deb-src entry for the main archive, made from the binary entry that is
# already configured (same mirror, same suite), without the security pocket:
# the security pocket's newest source versions are not always downloadable,
# the main archive's are.
ensure_deb_src() {
    if apt-cache showsrc zlib 2>/dev/null | grep -q '^Version:'; then return; fi
    local list=/etc/apt/sources.list.d/zaptomania-deb-src.sources
    local uri suite
    # shellcheck disable=SC1091
    suite=$(. /etc/os-release && echo "${VERSION_CODENAME}")
    uri=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
        uri=$(awk '$1 == "deb" && $0 !~ /security/ {for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) {print $i; exit}}' \
            /etc/apt/sources.list)
    fi
    if [ -z "$uri" ] || [ -z "$suite" ]; then
        log "cannot find the Debian archive to add a deb-src entry for"
        exit 1
    fi
    log "adding a deb-src entry for $suite"
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$uri" "$suite" | $sudo tee "$list" >/dev/null
    $sudo apt-get update -qq
}

# The newest source version the configured deb-src entries offer.
src_version() {
    apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -1
}

# "name=version;" for each source package, or exit when one has no version.
src_versions() {
    local p v out=""
    for p in "$@"; do
        v=$(src_version "$p")
        if [ -z "$v" ]; then
            log "no source version of $p found"
            exit 1
        fi
        out+="$p=$v;"
    done
    echo "$out"
}

# Unpacks each source package into DIR/<package>/<its source folder>.
fetch_sources() { # dir packages...
    local dir=$1 p
    shift
    chmod 755 "$dir" # apt's download user writes into it
    for p in "$@"; do
        mkdir "$dir/$p"
        (cd "$dir/$p" && apt-get source -qq --only-source "$p=$(src_version "$p")" >/dev/null)
    done
}

# The cached build of PACKAGES for the build described by KEY_TEXT (its recipe
# and compiler), in CACHE_ROOT/<key>/prefix. When it is built already, prints
# the prefix and exits; otherwise sets $versions, $dest, $prefix and $work
# (removed on exit), fetches the sources into $work and changes into it;
# srcdir NAME then gives a package's source folder.
begin_cached_build() { # cache_root key_text packages...
    local cache_root=$1 key_text=$2 key
    shift 2
    ensure_deb_src
    versions=$(src_versions "$@")
    key=$(echo "$key_text: $versions" | sha256sum | cut -c1-16)
    dest=$cache_root/$key
    prefix=$dest/prefix
    if [ -f "$dest/done" ]; then
        log "cached: $versions"
        echo "$prefix"
        exit 0
    fi
    log "building $versions into $dest"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    rm -rf "$dest"
    mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
    cd "$work"
    fetch_sources "$work" "$@"
}

srcdir() { find "$work/$1" -mindepth 1 -maxdepth 1 -type d | head -1; }

# Configures, builds and installs one CMake project into the prefix, with the
# caller's common_cmake arguments and JOBS; its log is shown only on failure.
cmake_build() { # name srcdir args...
    local name=$1 src=$2
    shift 2
    log "$name"
    cmake -S "$src" -B "$work/build-$name" "${common_cmake[@]}" "$@" >"$work/$name.log" 2>&1 ||
        { tail -30 "$work/$name.log" >&2; exit 1; }
    cmake --build "$work/build-$name" -j "$JOBS" >>"$work/$name.log" 2>&1 ||
        { tail -30 "$work/$name.log" >&2; exit 1; }
    cmake --install "$work/build-$name" >>"$work/$name.log" 2>&1 || { tail -30 "$work/$name.log" >&2; exit 1; }
}
