#!/usr/bin/env bash
# Tests the web build's simulator under Node.js against the Linux one:
#   1. the committed determinism scenarios (tests/determinism: idle, keys, pads)
#      at both clock starts: every trace must have the committed digest; every
#      WAV must too, or else match the Linux simulator's WAV within WAV_TOLERANCE
#      steps (libvorbis built by emcc rounds 3 of the game's 29547 decoded
#      samples one step the other way, and where two voices of one sound
#      overlap their differences add up); the differing samples are counted;
#   2. --dump-tables prints what the Linux simulator prints;
#   3. --renderer gl and --capture are refused with one line and exit status 2.
#
# usage: tools/test-web-sim.sh [WEB_BUILD_DIR [LINUX_BUILD_DIR]]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
wbuild=$(cd "${1:-$root/build-web}" && pwd)
lbuild=$(cd "${2:-$root/build}" 2>/dev/null && pwd || echo "${2:-$root/build}")
WAV_TOLERANCE=${WAV_TOLERANCE:-2}
dir=$root/tests/determinism

command -v node >/dev/null || { echo "test-web-sim: node is missing (tools/install-deps.sh --web)" >&2; exit 1; }
[ -f "$wbuild/zaptomania-sim.js" ] || { echo "test-web-sim: $wbuild/zaptomania-sim.js is missing (make web-sim)" >&2; exit 1; }
[ -x "$lbuild/zaptomania-sim" ] || { echo "test-web-sim: $lbuild/zaptomania-sim is missing (make build)" >&2; exit 1; }
websim=(node "$wbuild/zaptomania-sim.js")
linuxsim=("$lbuild/zaptomania-sim")

work=$(mktemp -d "${TMPDIR:-/tmp}/zap-websim.XXXXXX")
trap 'rm -rf "$work"' EXIT
start=$(date +%s)
pass=0
fail=0
ok() { echo "ok   $*"; pass=$((pass + 1)); }
bad() { echo "FAIL $*"; fail=$((fail + 1)); }
digest() { sha256sum "$1" | cut -d' ' -f1; }
want() { awk -v n="$1" -v k="$2" '$1 == n && $2 == k { print $3 }' "$dir/digests.txt"; }

echo "== determinism: node zaptomania-sim.js against the committed digests"
frames=$(sed -n 's/^frames //p' "$dir/digests.txt")
identical_wavs=0
differing_samples=0
for scenario in idle keys pads; do
    for clock in 100000 2147480000; do
        name=$scenario-$clock
        args=(--frames "$frames" --clock-start "$clock" --input "$dir/$scenario.txt")
        t0=$(date +%s)
        if ! "${websim[@]}" "${args[@]}" --trace "$work/$name.jsonl" --wav "$work/$name.wav" >"$work/$name.out" 2>&1
        then
            bad "$name: the web simulator failed"
            cat "$work/$name.out"
            continue
        fi
        secs=$(( $(date +%s) - t0 ))
        if [ "$(digest "$work/$name.jsonl")" = "$(want "$name" trace)" ]; then
            ok "$name trace identical ($secs s)"
        else
            bad "$name trace: digest $(digest "$work/$name.jsonl"), expected $(want "$name" trace)"
        fi
        if [ "$(digest "$work/$name.wav")" = "$(want "$name" wav)" ]; then
            ok "$name wav identical"
            identical_wavs=$((identical_wavs + 1))
            continue
        fi
        "${linuxsim[@]}" "${args[@]}" --wav "$work/$name.linux.wav" >/dev/null 2>&1
        if result=$(python3 "$root/tools/compare-wav.py" "$work/$name.linux.wav" "$work/$name.wav" \
            --tolerance "$WAV_TOLERANCE"); then
            ok "$name wav within $WAV_TOLERANCE steps: $result"
        else
            bad "$name wav: $result"
        fi
        n=$(echo "$result" | sed -n 's/.*samples, \([0-9]*\) differ.*/\1/p')
        differing_samples=$((differing_samples + ${n:-0}))
    done
done
echo "wavs: $identical_wavs of 6 identical; $differing_samples samples differ in the others"

echo "== --dump-tables"
"${linuxsim[@]}" --dump-tables >"$work/tables.linux.json"
"${websim[@]}" --dump-tables >"$work/tables.web.json"
if cmp -s "$work/tables.linux.json" "$work/tables.web.json"; then ok "dump-tables identical"; else bad "dump-tables differ"; fi

echo "== what Node.js cannot do"
refused() { # description args...
    local what=$1 status=0
    shift
    "${websim[@]}" "$@" >"$work/refused.out" 2>"$work/refused.err" || status=$?
    if [ "$status" = 2 ] && [ "$(wc -l <"$work/refused.err")" = 1 ] && [ ! -s "$work/refused.out" ]; then
        ok "$what refused: $(cat "$work/refused.err")"
    else
        bad "$what: exit status $status, stderr: $(cat "$work/refused.err")"
    fi
}
refused "--renderer gl" --frames 10 --renderer gl
refused "--capture" --frames 10 --capture 5 --capture-dir "$work"
refused "a bad number" --frames 10x

echo "test-web-sim: done in $(( $(date +%s) - start )) s"
echo "web-sim: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
