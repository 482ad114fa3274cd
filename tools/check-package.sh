#!/usr/bin/env bash
# Validates what `make package` made in BUILD (default build): the staged
# AppStream metadata and desktop entry, and the .deb with lintian, which must
# report no errors and no warnings.
set -euo pipefail
build="${1:-build}"
stage="$build/stage/usr/share"
appstreamcli validate --no-net --pedantic "$stage/metainfo/io.itch.zaptomania.metainfo.xml"
desktop-file-validate "$stage/applications/io.itch.zaptomania.desktop"
echo "desktop-file-validate: clean"
deb=$(ls -1 "$build"/zaptomania_*.deb | tail -n 1)
lintian --fail-on error,warning --display-info "$deb"
echo "lintian: $deb has no errors or warnings"
