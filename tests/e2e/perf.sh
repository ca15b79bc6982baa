#!/usr/bin/env bash
# perf.sh -- the figures of the README's performance table, on this machine:
# start-up time to the first frame and peak memory of the built game (run as a
# player runs it, on a 640x480 Xvfb screen), frames per second with and without
# shadows (bench_frame) and microseconds per physics step (bench_physics_layer).
#   bash tests/e2e/perf.sh <build folder>      (a Release build with benchmarks)
set -u
BUILD=$(realpath "$1")
GAME=$BUILD/balltoss
cd "$(dirname "$0")/../.."
ROOT=$PWD
E2E_TMP=$(mktemp -d /tmp/balltoss-perf.XXXXXX)
WAVSCAN=/bin/true
source tests/e2e/lib.sh
trap 'e2e_kill_game; e2e_stop_display; rm -rf "$E2E_TMP"' EXIT

# Start-up: from the start of the process to the first screenshot that shows
# the HUD's text (screenshots as fast as they come, about one each 40 ms), on
# a fresh screen each time so that no earlier picture lingers.
startup_ms() {
    e2e_start_game perf -pace 0 "$ROOT"
    STARTUP_MS=""
    local shot now
    for shot in $(seq 1000); do
        game_alive || return 1
        import -window root -crop 200x8+0+0 "$E2E_TMP/first.png" 2>/dev/null
        if [ -s "$E2E_TMP/first.png" ] &&
            [ "$(convert "$E2E_TMP/first.png" -fx "$YELLOW" -format '%[fx:round(mean*w*h)]' info:)" -ge 150 ]; then
            now=$EPOCHREALTIME
            STARTUP_MS=$(awk -v a="$GAME_START_REAL" -v b="$now" 'BEGIN { printf "%d", (b - a) * 1000 }')
            return 0
        fi
    done
}

times=()
peaks=()
for run in 1 2 3 4 5; do
    e2e_start_display && e2e_start_wm || exit 1
    startup_ms
    times+=("$STARTUP_MS")
    # Peak memory: the resident high-water mark after ten seconds of play.
    e2e_wait_window 10 && sleep 1
    for step in 1 2 3 4; do
        e2e_hold_key s 0.5
        e2e_look 120 60
    done
    sleep 3
    peaks+=("$(awk '/^VmHWM/ { print $2 }' "/proc/$GAME_PID/status")")
    xdotool key Escape
    e2e_wait_exit 30
    e2e_stop_display
done
echo "start-up to first frame, ms (5 runs): ${times[*]}"
echo "peak resident memory (VmHWM), kB (5 runs): ${peaks[*]}"

cd "$ROOT"
e2e_start_display && e2e_start_wm || exit 1
ALSOFT_DRIVERS=null "$BUILD/bench/frame/bench_frame" --benchmark_filter=WholeFrame \
    --benchmark_min_time=3 --benchmark_color=false 2>&1 | grep -E "BM_|Run on|Load"
"$BUILD/bench/physics_layer/bench_physics_layer" --benchmark_filter=LayerStep --benchmark_color=false \
    2>&1 | grep -E "_mean|_median|Run on|Load"
