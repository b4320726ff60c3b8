#!/usr/bin/env bash
# Sets up the machine, builds, and starts MivaroMap with the list beside it.
# Without a display the program runs on a virtual one: a screenshot is taken
# once it has drawn, then the program is closed as a user would close it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# Only the program: the tests and benchmarks are built by scripts/test.sh.
bash scripts/build.sh mivaromap

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/mivaromap
fi

shot="$PWD/shot.png"
xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
    build/mivaromap & pid=$!
    sleep "${MIVAROMAP_SHOT_DELAY:-8}"
    import -window root "$1"
    kill -TERM "$pid"
    wait "$pid"
' _ "$shot"
echo "Screenshot saved to $shot"
