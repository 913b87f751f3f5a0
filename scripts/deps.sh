#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tocsinet need, or names them when not root.
# Usage: scripts/deps.sh run|test|bench
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libsndfile1-dev libpulse-dev libasound2-dev
       libgl-dev)
runtime=(libqt6sql6-sqlite)
test=(libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev xvfb xauth x11-utils xdotool
      trayer pulseaudio pulseaudio-utils sox libsox-fmt-mp3 dbus dbus-daemon python3-dbus)
test+=(lame libasound2-plugins) # the sound test's mp3, and its way from ALSA to its own sound server

# Only the benchmarks need these (installing chrony may replace the machine's own time daemon).
bench=(chrony ntpsec-ntpdig python3-xlib)

want=("${build[@]}" "${runtime[@]}")
[ "${1:-run}" = test ] && want+=("${test[@]}")
[ "${1:-run}" = bench ] && want+=("${test[@]}" "${bench[@]}")

missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Tocsinet needs these Debian packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
