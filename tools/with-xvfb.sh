#!/usr/bin/env bash
# Runs a command on a private Xvfb screen with no window manager, the way a
# kiosk or a party machine runs a bare X server.
#
# usage: tools/with-xvfb.sh WIDTHxHEIGHT COMMAND [ARGS...]
set -euo pipefail
size=${1:?usage: tools/with-xvfb.sh WIDTHxHEIGHT COMMAND [ARGS...]}
shift
command -v Xvfb >/dev/null || { echo "with-xvfb: Xvfb is missing (tools/install-deps.sh)" >&2; exit 1; }
log=$(mktemp)
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 "${size}x24" -nolisten tcp -noreset >"$log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; rm -f "$log"' EXIT
display=""
for _ in $(seq 1 100); do
    if read -r -t 0.1 display <&"$fd" 2>/dev/null && [ -n "$display" ]; then break; fi
done
exec {fd}<&-
[ -n "$display" ] || { echo "with-xvfb: Xvfb did not start" >&2; cat "$log" >&2; exit 1; }
DISPLAY=:$display SDL_VIDEODRIVER=x11 "$@"
