#!/usr/bin/env bash
# Runs the real game on a private Xvfb screen with a window manager (openbox),
# as a new user on a machine without a GPU would see it, presses keys on a
# script, and reports from the game's frame log how smoothly it ran: game
# frames a second, frames presented a second, and the intervals between
# presented frames. A developer's tool, not part of CI; it installs Xvfb,
# openbox and xdotool when they are missing.
#
# usage: tools/measure-frames.sh [options]
#   --size WxH        screen size (default 1920x1080)
#   --seconds N       how long the game runs (default 60)
#   --join-at N       second at which players 1 and 2 join (default 15; the round
#                     follows 8 s later); 0: nobody joins, attract screen only
#   --drop 0|1        ZAPTOMANIA_DROP_LATE_FRAMES (default: the game's own, on)
#   --no-wm           no window manager (a bare X server: the game covers the screen)
#   --game PATH       the game (default build/zaptomania)
#   --log FILE        keep the frame log there (default: a temporary file)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
size=1920x1080
seconds=60
join_at=15
drop=""
wm=1
game=$root/build/zaptomania
log=""
while [ $# -gt 0 ]; do
    case "$1" in
    --size) size=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --join-at) join_at=$2; shift 2 ;;
    --drop) drop=$2; shift 2 ;;
    --no-wm) wm=0; shift ;;
    --game) game=$2; shift 2 ;;
    --log) log=$2; shift 2 ;;
    *) echo "measure-frames: unknown option '$1' (see the top of $0)" >&2; exit 2 ;;
    esac
done
[[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "measure-frames: --size wants WIDTHxHEIGHT" >&2; exit 2; }
[[ $seconds =~ ^[0-9]+$ && $join_at =~ ^[0-9]+$ ]] || { echo "measure-frames: --seconds and --join-at want whole seconds" >&2; exit 2; }
[ -x "$game" ] || { echo "measure-frames: $game is missing (make build)" >&2; exit 1; }

bash "$root/tools/install-deps.sh" --measure

work=$(mktemp -d "${TMPDIR:-/tmp}/zap-measure.XXXXXX")
[ -n "$log" ] || log=$work/frames.log
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 "${size}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
pids+=("$xvfb_pid")
display=""
for _ in $(seq 1 100); do
    if read -r -t 0.1 display <&"$fd" 2>/dev/null && [ -n "$display" ]; then break; fi
done
exec {fd}<&-
[ -n "$display" ] || { echo "measure-frames: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display

if [ "$wm" = 1 ]; then
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    # The window manager is up once it has claimed the screen.
    for _ in $(seq 1 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
fi

env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ZAPTOMANIA_FRAME_LOG="$log" \
    ${drop:+ZAPTOMANIA_DROP_LATE_FRAMES=$drop} "$game" >"$work/game.log" 2>&1 &
game_pid=$!
pids+=("$game_pid")
start_ms=$(($(date +%s%N) / 1000000))
# The X server's CPU time in clock ticks: presenting a software-rendered frame
# is a copy into the server, which the game's own CPU time does not show.
server_ticks() { awk '{ print $14 + $15 }' "/proc/$xvfb_pid/stat"; }
server_start=$(server_ticks)
at() { # waits until millisecond $1 of the run
    local left=$(($1 - ($(date +%s%N) / 1000000 - start_ms)))
    if [ "$left" -gt 0 ]; then sleep "$((left / 1000)).$(printf %03d $((left % 1000)))"; fi
}
alive() { kill -0 "$game_pid" 2>/dev/null; }

# The script: players 1 (Space) and 2 (Enter) join; in the round both tap now
# and then, reversing their bases.
if [ "$join_at" -gt 0 ] && [ "$join_at" -lt "$seconds" ]; then
    # The first key xdotool sends changes the keyboard mapping, and the game
    # sees only the mapping change: a key the game ignores goes first.
    at $((join_at * 1000 - 1000))
    alive && xdotool key Shift_L
    at $((join_at * 1000))
    alive && xdotool key space && xdotool key Return
    t=$((join_at + 9))
    while [ "$t" -lt "$seconds" ] && alive; do
        at $((t * 1000))
        xdotool key space
        at $((t * 1000 + 700))
        xdotool key Return
        t=$((t + 2))
    done
fi
at $((seconds * 1000))
# The game's log counts on the same monotonic clock.
end_us=$(python3 -c 'import time; print(int(time.monotonic() * 1e6))')
server_cpu=$(awk -v t="$(($(server_ticks) - server_start))" -v hz="$(getconf CLK_TCK)" \
    -v ms="$(($(date +%s%N) / 1000000 - start_ms))" 'BEGIN { printf "%.2f", t / hz / (ms / 1000) }')
# ESC abandons a round, and ESC on the attract screen ends the game.
for _ in 1 2 3; do
    alive || break
    xdotool key Escape
    sleep 1
done
if alive; then kill "$game_pid"; fi
wait "$game_pid" 2>/dev/null || true
[ -s "$log" ] || { echo "measure-frames: the game wrote no frame log" >&2; cat "$work/game.log" >&2; exit 1; }

python3 - "$log" "$size" "$wm" "${drop:-default}" "$end_us" "$server_cpu" <<'PY'
import sys
path, size, wm, drop, end_us, server_cpu = sys.argv[1:7]
rows = []
for line in open(path):
    if line.startswith('#') or not line.strip():
        continue
    frame, t, shown, cpu = line.split()
    rows.append((int(frame), int(t), int(shown), int(cpu)))
# Leave out the first second (the display opening) and what follows the script.
rows = [r for r in rows[50:] if r[1] <= int(end_us)]
if len(rows) < 2:
    sys.exit("measure-frames: too few frames logged")
wall = (rows[-1][1] - rows[0][1]) / 1e6
shown = [r[1] for r in rows if r[2]]
iv = sorted((b - a) / 1000 for a, b in zip(shown, shown[1:]))
def pct(p):
    return iv[min(len(iv) - 1, int(p / 100 * len(iv)))] if iv else float('nan')
cpu = sum(r[3] for r in rows[1:]) / 1e6
late = sum(1 for i in iv if i > 21)
print(f"screen {size}, window manager {'openbox' if wm == '1' else 'none'}, dropping {drop}: "
      f"{wall:.1f} s, {len(rows)} frames, {len(rows) - len(shown)} dropped")
print(f"game frames/s {(len(rows) - 1) / wall:.2f}   presented frames/s {(len(shown) - 1) / wall:.2f}   "
      f"CPU {cpu / wall:.2f} cores (X server {server_cpu})")
print(f"presented interval ms: median {pct(50):.1f}  p90 {pct(90):.1f}  p99 {pct(99):.1f}  max {iv[-1]:.1f}  "
      f"({100 * late / max(1, len(iv)):.0f}% over 21 ms)")
PY
