#!/usr/bin/env bash
# Plays the simulator with OpenGL through one attract cycle (with the options
# menu: one-minute rounds, catch-up on), four players joining, the countdown
# and its fade, a busy round, the results and the way back to the attract
# screen, and counts the flashes of every frame with flash-check. Fails when
# any second has more than three general or red flashes.
#
# usage: tools/check-flashes.sh [BUILD_DIR] [-- SIMULATOR OPTIONS...]
#   e.g. tools/check-flashes.sh build -- --config colour-safe.toml
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
[[ ${1:-} == -- ]] && shift
sim=$build/zaptomania-sim
check=$build/tools/flash-check
for exe in "$sim" "$check"; do
    [[ -x $exe ]] || { echo "check-flashes: $exe is not built" >&2; exit 2; }
done

script=$(mktemp)
trap 'rm -f "$script"' EXIT
# The menu: hold P1 (frames 60-120), round length steps to one minute (185),
# two taps move to catch-up, which steps on at 276, a tap closes the menu.
# Then the four players join, and from frame 720 on they reverse their bases
# every 3 to 27 frames, in an order drawn from a fixed seed.
{
    printf '%s\n' "60 key-down 32" "120 key-up 32" "190 key-down 32" "192 key-up 32" "200 key-down 32" \
        "202 key-up 32" "280 key-down 32" "282 key-up 32"
    keys=(32 13 49 109)
    for i in 0 1 2 3; do
        echo "$((300 + 4 * i)) key-down ${keys[i]}"
        echo "$((302 + 4 * i)) key-up ${keys[i]}"
    done
    state=77
    f=720
    while ((f < 3800)); do
        state=$(((state * 1103515245 + 12345) & 0xffffffff))
        key=${keys[(state >> 8) % 4]}
        echo "$f key-down $key"
        echo "$((f + 2)) key-up $key"
        f=$((f + 3 + (state >> 12) % 25))
    done
} >"$script"

# Where the screens fall with the default game (the figures of each part are
# for the seconds ending in it).
"$sim" --frames 4200 --input "$script" --renderer gl --capture 1-4200 --capture-raw - "$@" 2>/dev/null |
    "$check" --label flashes \
        --part "attract, menu, joining, fade out:1-562" --part "countdown:563-712" \
        --part "round (4 players, catch-up):713-3824" --part "results with fades:3825-4124" \
        --part "back to the attract screen:4125-4200" -
