#!/usr/bin/env bash
# Runs the three determinism scenarios (tests/determinism: idle, keys, pads) at
# both clock starts through a simulator and compares the SHA-256 digests of
# each trace and WAV with the committed ones (tests/determinism/digests.txt).
# A mismatch keeps the actual trace and WAV in tests/determinism/actual/ so
# that they can be compared with a trace of the last good build.
#
# usage: tools/check-determinism.sh SIM [--update]
#   SIM       the simulator to run: a path, or a command such as "wine x.exe"
#   --update  write the digests file anew instead of checking it (only when a
#             change to the game's course is meant; say why in the commit)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/tests/determinism
sim=${1:?usage: tools/check-determinism.sh SIM [--update]}
update=0
[ "${2:-}" = "--update" ] && update=1
frames=$(sed -n 's/^frames //p' "$dir/digests.txt" 2>/dev/null || true)
frames=${frames:-12000}

work=$(mktemp -d "${TMPDIR:-/tmp}/zap-determinism.XXXXXX")
trap 'rm -rf "$work"' EXIT

digest() { sha256sum "$1" | cut -d' ' -f1; }

actual=$work/digests.txt
echo "frames $frames" >"$actual"
for scenario in idle keys pads; do
    for clock in 100000 2147480000; do
        name=$scenario-$clock
        # shellcheck disable=SC2086 # SIM may be a command with arguments
        if ! $sim --frames "$frames" --clock-start "$clock" --input "$dir/$scenario.txt" \
            --trace "$work/$name.jsonl" --wav "$work/$name.wav" >"$work/$name.out" 2>&1; then
            echo "FAIL $name: the simulator failed"
            cat "$work/$name.out"
            exit 1
        fi
        # Standard output may be a text stream (CR LF on Windows): the files are not.
        echo "$name trace $(digest "$work/$name.jsonl")" >>"$actual"
        echo "$name wav $(digest "$work/$name.wav")" >>"$actual"
    done
done

if [ "$update" = 1 ]; then
    cp "$actual" "$dir/digests.txt"
    echo "determinism: digests written to tests/determinism/digests.txt"
    exit 0
fi

pass=0
fail=0
while read -r name kind sum; do
    [ "$name" = frames ] && continue
    want=$(awk -v n="$name" -v k="$kind" '$1 == n && $2 == k { print $3 }' "$dir/digests.txt")
    if [ "$sum" = "$want" ]; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        mkdir -p "$dir/actual"
        ext=jsonl
        [ "$kind" = wav ] && ext=wav
        cp "$work/$name.$ext" "$dir/actual/"
        echo "FAIL $name $kind: digest $sum, expected ${want:-none}; kept as tests/determinism/actual/$name.$ext"
    fi
done <"$actual"
echo "determinism: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
