#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine: the asset embedder
# during the build, and the tests under ctest. tools/test-windows.sh sets up a
# fresh prefix, a display and a null sound device first; without it a prefix
# kept under the build cache is used.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-${ZAP_WIN_DEPS:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/zaptomania-win-deps}/wineprefix}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=$(command -v wine64 || command -v wine)
exec "$wine" "$@"
