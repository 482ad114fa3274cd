#!/usr/bin/env bash
# Makes assets/fnt_manaspc.ttf, the UI font: DejaVu Sans Mono from Debian's
# fonts-dejavu-core, cut down to printable ASCII (all the game writes) with its
# hinting and its name table (copyright and licence) kept. Needs the Debian
# packages fonts-dejavu-core and python3-fonttools; the output is the same on
# every run.
set -euo pipefail
src=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
out=${1:-"$(dirname "$0")/../assets/fnt_manaspc.ttf"}
[ -f "$src" ] || { echo "missing $src (apt-get install fonts-dejavu-core)" >&2; exit 1; }
/usr/bin/python3 -c 'import fontTools' 2>/dev/null || { echo "apt-get install python3-fonttools" >&2; exit 1; }
/usr/bin/python3 -m fontTools.subset "$src" --unicodes=U+0020-007E --layout-features='' \
  --drop-tables+=GDEF,GPOS,GSUB,FFTM --name-IDs='*' --name-languages='*' --notdef-outline \
  --output-file="$out" 2>&1 | grep -v 'FFTM' || true
[ -s "$out" ]
