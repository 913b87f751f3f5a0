#!/usr/bin/env bash
# End to end: the real sound player against a PulseAudio server of our own with a null sink, whose monitor is
# recorded while each sound plays. Checks that PlaySync returns no sooner than the sound lasts and that the sound
# itself, not silence, reached the sink: a wav, an mp3, the default tone for a missing file, and the ALSA fallback
# when the server cannot be reached. Starts and stops everything it needs.
# Usage: sound_e2e.sh <play_sound>   (KEEP_TMP=1 keeps the recordings and the server log)
set -uo pipefail
play_sound=${1:?usage: sound_e2e.sh <play_sound>}

for tool in pulseaudio pactl pacat parec sox soxi lame timeout; do
    command -v "$tool" > /dev/null || { echo "sound_e2e: $tool is missing (scripts/deps.sh test installs it)" >&2; exit 1; }
done

tmp=$(mktemp -d /tmp/tocsinet-sound-e2e.XXXXXX)
server_pid=
keeper_pid=
recorder_pid=
cleanup() {
    for pid in $recorder_pid $keeper_pid $server_pid; do
        kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
    done
    [ -n "${KEEP_TMP:-}" ] && echo "kept $tmp" || rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR/pulse"
chmod 700 "$XDG_RUNTIME_DIR"
socket=$XDG_RUNTIME_DIR/pulse/native
export PULSE_SERVER=unix:$socket
sink=tocsinet_e2e
rate=44100

cat > "$tmp/server.pa" << EOF
load-module module-null-sink sink_name=$sink rate=$rate channels=1
load-module module-native-protocol-unix socket=$socket auth-anonymous=1
set-default-sink $sink
EOF
pulseaudio --system=no -n -F "$tmp/server.pa" --daemonize=no --exit-idle-time=-1 --log-target=stderr \
    2> "$tmp/server.log" &
server_pid=$!
for _ in $(seq 50); do
    pactl info > /dev/null 2>&1 && break
    sleep 0.2
done
if ! pactl info > /dev/null 2>&1; then
    echo "sound_e2e: the sound server did not start" >&2
    cat "$tmp/server.log" >&2
    exit 1
fi

# A stream of silence keeps the sink running, so that its monitor records from the first sample of each sound.
pacat --playback --raw --format=s16le --rate=$rate --channels=1 --latency-msec=20 < /dev/zero &
keeper_pid=$!

# One second of 440 Hz at half of full scale, as wav and as mp3.
sox -D -n -r $rate -b 16 -c 1 "$tmp/tone.wav" synth 1 sine 440 vol 0.5
lame --quiet -b 128 "$tmp/tone.wav" "$tmp/tone.mp3"

failures=0
fail() {
    echo "FAIL $*" >&2
    failures=$((failures + 1))
}

# play <name> <file> <min_ms> <min_audible_s> <max_audible_s> [env...]: plays while recording the sink's monitor.
play() {
    local name=$1 file=$2 min_ms=$3 min_s=$4 max_s=$5
    shift 5
    local raw=$tmp/$name.raw
    parec --device=$sink.monitor --raw --format=s16le --rate=$rate --channels=1 --latency-msec=20 > "$raw" &
    recorder_pid=$!
    sleep 0.5
    local elapsed
    elapsed=$(env "$@" timeout 30 "$play_sound" "$file")
    local status=$?
    sleep 0.7
    kill -INT "$recorder_pid" 2> /dev/null
    wait "$recorder_pid" 2> /dev/null
    recorder_pid=

    if [ $status -ne 0 ]; then
        fail "$name: play_sound exited with $status"
        return
    fi
    # What the sink heard: the peak, and how long it was not silent (leading and trailing silence cut).
    sox -t raw -r $rate -e signed -b 16 -c 1 "$raw" "$tmp/$name.wav"
    local peak audible
    peak=$(sox "$tmp/$name.wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
    sox "$tmp/$name.wav" "$tmp/$name-sound.wav" silence 1 0.005 2% reverse silence 1 0.005 2% reverse
    audible=$(soxi -D "$tmp/$name-sound.wav" 2> /dev/null || echo 0)
    echo "$name: PlaySync took ${elapsed} ms, sink heard ${audible} s peaking at ${peak}"

    [ "$elapsed" -ge "$min_ms" ] || fail "$name: returned after $elapsed ms, before the sound's $min_ms ms"
    [ "$elapsed" -le $((min_ms + 10000)) ] || fail "$name: took $elapsed ms"
    awk -v p="$peak" 'BEGIN { exit !(p >= 0.4 && p <= 0.6) }' || fail "$name: peak $peak, expected about 0.5"
    awk -v a="$audible" -v lo="$min_s" -v hi="$max_s" 'BEGIN { exit !(a >= lo && a <= hi) }' ||
        fail "$name: sink heard $audible s of sound, expected $min_s..$max_s s"
}

play wav "$tmp/tone.wav" 1000 0.95 1.3
play mp3 "$tmp/tone.mp3" 1000 0.95 1.3
# The default tone is 0.3 s long.
play missing "$tmp/no-such-file.wav" 300 0.27 0.5

# The server out of reach for the player itself; ALSA's default device, set up here to lead to the same sink
# through the PulseAudio plugin for ALSA, plays it instead.
if compgen -G "/usr/lib/*/alsa-lib/libasound_module_pcm_pulse.so" > /dev/null; then
    printf 'pcm.!default { type pulse server "unix:%s" }\n' "$socket" > "$HOME/.asoundrc"
    play alsa "$tmp/tone.wav" 1000 0.95 1.3 PULSE_SERVER="unix:$tmp/no-server"
else
    fail "alsa: the PulseAudio plugin for ALSA (libasound2-plugins) is missing"
fi

if [ $failures -ne 0 ]; then
    echo "--- sound server log" >&2
    tail -n 30 "$tmp/server.log" >&2
    exit 1
fi
echo "sound_e2e: all passed"
