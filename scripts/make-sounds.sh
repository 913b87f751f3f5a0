#!/usr/bin/env bash
# Remakes the two sounds that ship with Tocsinet (share/tocsinet/sounds) with sox: the alarm, a two-tone ring
# repeated four times (2.4 s), and the pre-alarm, a 0.2 s beep. Both 22050 Hz, 16-bit mono; -D (no dither) keeps
# the output the same on every run.
set -euo pipefail
out=${1:-"$(dirname "$0")/../share/tocsinet/sounds"}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

tone() { # name, seconds, frequency
    sox -D -n -r 22050 -b 16 -c 1 "$tmp/$1.wav" synth "$2" sine "$3" fade h 0.01 "$2" 0.02 vol 0.5
}
tone high 0.15 1318.51  # E6
tone low 0.15 1046.50   # C6
sox -D -n -r 22050 -b 16 -c 1 "$tmp/gap.wav" trim 0 0.3
ring=("$tmp/high.wav" "$tmp/low.wav" "$tmp/gap.wav")
sox -D "${ring[@]}" "${ring[@]}" "${ring[@]}" "${ring[@]}" "$out/alarm.wav"

sox -D -n -r 22050 -b 16 -c 1 "$out/prealarm.wav" synth 0.2 sine 1760 fade h 0.01 0.2 0.02 vol 0.5
