#!/usr/bin/env bash
# soak.sh -- half an hour of game time (the clock sped up thirtyfold: about a
# minute of real time; a round of 5 minutes takes 10 s) of random play: walking keys,
# mouse motion, both buttons, and Y whenever the closing screen may be up. The
# game's resident memory (VmRSS) is sampled every second; the game must not
# end, and its memory must stay flat once the first minutes of play are over.
#   bash tests/e2e/soak.sh <balltoss binary> [game minutes, default 30]
# Not part of CTest: it runs for about a minute. Prints the samples.
set -u
GAME=$(realpath "$1")
MINUTES=${2:-30}
cd "$(dirname "$0")/../.."
ROOT=$PWD
E2E_TMP=$(mktemp -d /tmp/balltoss-soak.XXXXXX)
WAVSCAN=/bin/true
source tests/e2e/lib.sh
trap 'xdotool keyup w a s d 2>/dev/null; xdotool mouseup 1 2>/dev/null; xdotool mouseup 3 2>/dev/null; e2e_kill_game; e2e_stop_display' EXIT

RATE=30
e2e_start_display && e2e_start_wm || exit 1
e2e_start_game soak -clock $RATE "$ROOT"
e2e_check "window opens" e2e_wait_window 60 || exit 1

rss() { awk '/^VmRSS/ { print $2 }' "/proc/$GAME_PID/status" 2>/dev/null; }

RANDOM=4242          # the same play every run
keys=(w a s d)
next_sample=0
start=$SECONDS
# "game seconds: kB" a line, one sample a second of real time.
echo "$(e2e_game_seconds): $(rss)" >"$E2E_TMP/samples"
sleep 1
while game_alive; do
    played=$(e2e_game_seconds)
    awk -v p="$played" -v m="$MINUTES" 'BEGIN { exit !(p >= m * 60) }' && break
    if [ $SECONDS -ge $next_sample ]; then
        echo "$played: $(rss)" >>"$E2E_TMP/samples"
        next_sample=$((SECONDS + 1))
    fi
    case $((RANDOM % 6)) in
    0) xdotool keydown "${keys[RANDOM % 4]}"; sleep 0.$((RANDOM % 4 + 1)); xdotool keyup w a s d ;;
    1) xdotool mousemove_relative -- $((RANDOM % 161 - 80)) $((RANDOM % 121 - 60)) ;;
    2) xdotool mousedown 3; sleep 0.$((RANDOM % 3 + 1)); xdotool mouseup 3 ;;
    3) xdotool click 1 ;;
    4) xdotool key y ;;      # answers the closing screen; does nothing in play
    5) sleep 0.2 ;;
    esac
done
e2e_check "the game is still running after $MINUTES minutes of play" game_alive
e2e_log "real seconds: $((SECONDS - start)); game seconds: $(e2e_game_seconds)"
e2e_log "VmRSS samples (game seconds: kB):"
sed 's/^/  /' "$E2E_TMP/samples" >&2
# Flat after the start: no sample after the first three minutes of play (the
# first rounds' start-up, the first grabs and throws) exceeds the largest one
# within them by more than 4 MB.
read -r early later <<<"$(awk -F': ' '$1 <= 180 { if ($2 > a) a = $2; next }
                                      { if ($2 > b) b = $2 } END { print a + 0, b + 0 }' "$E2E_TMP/samples")"
e2e_log "largest VmRSS in the first three minutes: $early kB; afterwards: $later kB"
e2e_check "memory flat after the first three minutes (within 4 MB)" at_most $((early + 4096)) "$later"
# Y first, in case the closing screen is up, then Esc.
xdotool keyup w a s d
xdotool key y
sleep 0.5
xdotool key Escape
e2e_check "Esc ends the program" e2e_wait_exit 30
e2e_check "exit status 0" game_exited_zero
e2e_check "console empty" bash -c "[ ! -s '$GAME_OUT' ]"
e2e_log "soak: $E2E_PASSES passed, $E2E_FAILS failed (logs in $E2E_TMP)"
[ "$E2E_FAILS" -eq 0 ]
