#!/usr/bin/env bash
# Regenerates the README screenshots (docs/screenshots/*.png) with the
# simulator: a scripted game with two players and a one-minute round, run once
# without drawing to find the frames, then again with OpenGL (offscreen, no X
# server needed) to capture them.
#   tools/screenshots.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
sim=$build/zaptomania-sim
out=$root/docs/screenshots
if [ ! -x "$sim" ]; then
  cmake --build "$build" --target zaptomania-sim
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Hold P1 to open the options, let the round length step to one minute, tap
# through the other two options, then players 1 (space) and 2 (enter) join.
cat >"$tmp/input.txt" <<'SCRIPT'
60 key-down 32
120 key-up 32
190 key-down 32
191 key-up 32
200 key-down 32
201 key-up 32
210 key-down 32
211 key-up 32
230 key-down 32
232 key-up 32
236 key-down 13
237 key-up 13
SCRIPT

"$sim" --frames 4200 --input "$tmp/input.txt" --trace "$tmp/trace.jsonl" >/dev/null
# The record of each frame starts {"f":K,"screen":"NAME",...
first() { grep -m1 "\"screen\":\"$1\"" "$tmp/trace.jsonl" | sed 's/^{"f":\([0-9]*\),.*/\1/'; }
countdown=$(first countdown)
round=$(first round)
results=$(first results)
attract_shot=$((countdown - 160))   # both players joined, the countdown running
round_shot=$((round + 900))         # eighteen seconds into the round
results_shot=$((results + 100))     # the results panel fully faded in

SDL_VIDEODRIVER=offscreen "$sim" --renderer gl --frames "$results_shot" --input "$tmp/input.txt" \
  --capture "$attract_shot,$round_shot,$results_shot" --capture-dir "$tmp" >/dev/null
mkdir -p "$out"
cp "$tmp/frame-$attract_shot.png" "$out/attract.png"
cp "$tmp/frame-$round_shot.png" "$out/round.png"
cp "$tmp/frame-$results_shot.png" "$out/results.png"
echo "screenshots written to $out (frames $attract_shot, $round_shot, $results_shot)"
