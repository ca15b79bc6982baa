#!/usr/bin/env bash
# replay_e2e.sh -- the built game replays a kept round and a fresh recording of
# random X input on its own Xvfb screen, and refuses damaged recordings:
#   bash tests/e2e/replay_e2e.sh <balltoss binary> <e2e_wavscan binary> [recording]
# round: the committed round (tests/e2e/round.btr) replayed with --fast and the
#   wave driver: the HUD score read from screenshots climbs to the recorded
#   score, the closing screen shows it, each win jingle is heard, and the game
#   says "replay verified".
# random: 25 s of random mouse, keys and pauses recorded with --record and a
#   look of its own (--sensitivity 2.5 --invert-mouse), replayed twice with
#   --fast under other settings: both verified, with the same digest.
# damaged: that recording damaged at one random byte, 20 times: one line and
#   exit status 1 each, never a crash; the committed round on asset files that
#   differ in one byte: one line and exit status 1.
set -u
GAME=$(realpath "$1")
WAVSCAN=$(realpath "$2")
cd "$(dirname "$0")/../.."
ROOT=$PWD
ROUND=$(realpath "${3:-tests/e2e/round.btr}")
E2E_TMP=$(mktemp -d /tmp/balltoss-replay.XXXXXX)
source tests/e2e/lib.sh

trap e2e_cleanup EXIT

# The number written in yellow from a point of a shot, up to the first cell without ink.
read_number() {
    local text
    text=$(e2e_read_text "$1" "$2" "$3" 8 0123456789)
    echo "${text%% *}"
}

# ---- the committed round --------------------------------------------------------

case_round() {
    e2e_log "round: $(basename "$ROUND") replayed with --fast and the sound recorded"
    # A fast replay runs as fast as it draws, and the jingles sound in real
    # time. A 60 Hz display paces it at the recorded passes' 1/60 s while the
    # balls fly, so the game keeps real time while they sound.
    GAME_ARGS=(--replay "$ROUND" --fast)
    e2e_start_game round -wave "$E2E_TMP/round.wav" -pace 60 "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    local n=0 hud=() closing=""
    # A score stays up for seconds between throws, and the closing screen for
    # four: a shot every quarter second sees each.
    while game_alive && [ "$n" -lt 2000 ]; do
        n=$((n + 1))
        sleep 0.25
        e2e_shot "round_$n" || continue
        if [ "$(e2e_count "round_$n" $TIME_LINE "$YELLOW")" -ge 150 ]; then
            # The score is drawn over the scene: a bright patch behind its
            # empty cells reads as more digits. A score is a sum of 100, 25 and
            # 10, written without a leading 0 and under a million: a read that
            # is none of that is such a patch and is left out.
            local read
            read=$(read_number "round_$n" 104 0)
            [[ "$read" =~ ^(0|[1-9][0-9]{0,5})$ ]] && [ $((read % 5)) -eq 0 ] && hud+=("$read")
        elif [ "$(e2e_count "round_$n" $MIDDLE_ROWS "$YELLOW")" -gt 200 ]; then
            closing=$n
        fi
    done
    e2e_check "the replay ends" e2e_wait_exit 60 || return
    e2e_check "exit status 0" game_exited_zero
    e2e_check "it says replay verified" grep -q "^replay verified" "$GAME_OUT"
    local score
    score=$(sed -n 's/^replay verified: .*final score \([0-9]*\),.*/\1/p' "$GAME_OUT")
    e2e_log "    $(cat "$GAME_OUT")"
    e2e_log "    HUD scores read: $(printf '%s\n' "${hud[@]}" | uniq | tr '\n' ' ')"
    # Nor can the HUD show more than the round ends with: a bright patch read
    # as digits after the score's own (seen: 100385 for 100) is left out too.
    local read kept=()
    for read in "${hud[@]}"; do
        [ "$read" -le "${score:-0}" ] && kept+=("$read")
    done
    hud=(${kept[@]+"${kept[@]}"})
    e2e_check "the recorded score is 135 or more" at_least 135 "${score:-0}"
    e2e_check "the HUD score starts at 0" test "${hud[0]:-x}" = 0
    e2e_check "the HUD score never falls" sort -nc <(printf '%s\n' "${hud[@]}")
    e2e_check "the HUD score reaches the recorded score" test "${hud[${#hud[@]}-1]:-x}" = "$score"
    e2e_check "the closing screen shows" test -n "$closing" || return
    local text="Your final score was $score"
    e2e_check "the closing screen's final score is the recorded score" \
        test "$(read_number "round_$closing" $((320 - 4 * ${#text} + 21 * 8)) 232)" = "$score"
    # The rolling rumble and the knocks play over the jingles; above 400 Hz
    # each jingle still stands out, and matches at least 1.2 times as well as
    # the same jingle played backwards, which has its sound but not its tune.
    local win
    for win in Win1 Win2 Win3; do
        reversed "$ROOT/Sound/$win.wav" "$E2E_TMP/$win.reversed.wav"
        e2e_check "the $win jingle is heard" heard "$ROOT/Sound/$win.wav" "$E2E_TMP/$win.reversed.wav"
    done
}

# A wave file played backwards: its header, then its frames in reverse order.
reversed() {
    local header=44 frame
    frame=$(($(od -An -tu2 -j32 -N2 "$1")))
    head -c "$header" "$1" >"$2"
    tail -c +$((header + 1)) "$1" | od -An -v -tx1 -w"$frame" | tac | xxd -r -p >>"$2"
}

# The jingle's best match in the round's recording: 0.5 or more, and 1.2 times its reversal's.
heard() {
    local m r
    m=$("$WAVSCAN" "$E2E_TMP/round.wav" 0.05 "$1" 400 | awk '/^match/ { print $2 }')
    r=$("$WAVSCAN" "$E2E_TMP/round.wav" 0.05 "$2" 400 | awk '/^match/ { print $2 }')
    e2e_log "    $(basename "$1"): best match $m, played backwards $r"
    awk -v m="$m" -v r="$r" 'BEGIN { exit !(m >= 0.5 && m >= 1.2 * r) }'
}

# ---- random input, recorded and replayed twice ------------------------------------

random_input() {
    local end=$((SECONDS + 25)) r
    RANDOM=1234
    while [ "$SECONDS" -lt "$end" ]; do
        r=$((RANDOM % 10))
        case $r in
        0 | 1 | 2 | 3) xdotool mousemove_relative -- $((RANDOM % 81 - 40)) $((RANDOM % 41 - 20)) ;;
        4 | 5) e2e_hold_key "$(echo w a s d | cut -d' ' -f$((RANDOM % 4 + 1)))" 0.$((RANDOM % 9 + 1)) ;;
        6) xdotool click 3 ;;
        7) xdotool click 1 ;;
        8) xdotool key p; sleep 0.$((RANDOM % 9 + 1)); xdotool key p ;;
        *) sleep 0.$((RANDOM % 5 + 1)) ;;
        esac
    done
}

case_random() {
    e2e_log "random: 25 s of random X input recorded with a player's own look, then replayed twice with --fast under other settings"
    # The look a player set is kept in the recording: a replay under other
    # settings (here the defaults, then a settings file that says otherwise)
    # plays it as it was recorded.
    GAME_ARGS=(--record "$E2E_TMP/random.btr" --sensitivity 2.5 --invert-mouse)
    e2e_start_game random "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    random_input
    xdotool key Escape
    e2e_check "Esc ends the recording game" e2e_wait_exit 30 || return
    e2e_check "exit status 0" game_exited_zero
    local size
    size=$(stat -c %s "$E2E_TMP/random.btr" 2>/dev/null || echo 0)
    e2e_log "    recording: $size bytes"
    local first="" run
    for run in 1 2; do
        GAME_ARGS=(--replay "$E2E_TMP/random.btr" --fast)
        if [ "$run" = 2 ]; then
            mkdir -p "$E2E_TMP/config/balltoss"
            printf 'sensitivity = 0.5\ninvert_mouse = no\n' >"$E2E_TMP/config/balltoss/balltoss.conf"
        fi
        e2e_start_game "random_replay$run" -pace 0 "$ROOT"
        e2e_check "replay $run ends" e2e_wait_exit 300 || return
        e2e_log "    $(cat "$GAME_OUT")"
        e2e_check "replay $run: exit status 0" game_exited_zero
        e2e_check "replay $run says replay verified" grep -q "^replay verified" "$GAME_OUT"
        [ -z "$first" ] && first=$(cat "$GAME_OUT")
    done
    rm -f "$E2E_TMP/config/balltoss/balltoss.conf"
    e2e_check "both replays end with the same digest" test "$(cat "$GAME_OUT")" = "$first"
}

# ---- damaged recordings ----------------------------------------------------------

case_damaged() {
    local source="$E2E_TMP/random.btr"
    [ -s "$source" ] || source=$ROUND
    e2e_log "damaged: $(basename "$source") damaged at one random byte, 20 times"
    local size i at bad=0 lines status
    size=$(stat -c %s "$source")
    RANDOM=4321
    for i in $(seq 20); do
        at=$(((RANDOM * 32768 + RANDOM) % size))
        cp "$source" "$E2E_TMP/damaged.btr"
        printf "\\x$(printf %02x $(((RANDOM % 255 + 1 + $(od -An -tu1 -j "$at" -N1 "$source")) % 256)))" |
            dd of="$E2E_TMP/damaged.btr" bs=1 seek="$at" conv=notrunc status=none
        GAME_ARGS=(--replay "$E2E_TMP/damaged.btr" --fast)
        e2e_start_game damaged -pace 0 "$ROOT"
        e2e_wait_exit 300 || { e2e_kill_game; GAME_STATUS=timeout; }
        lines=$(wc -l <"$GAME_OUT")
        if [ "$GAME_STATUS" != 1 ] || [ "$lines" != 1 ]; then
            bad=$((bad + 1))
            e2e_log "    byte $at: status $GAME_STATUS, $lines lines: $(head -c 300 "$GAME_OUT")"
        elif [ "$i" -le 3 ]; then
            e2e_log "    byte $at: $(cat "$GAME_OUT")"
        fi
    done
    e2e_check "20 damaged recordings: one line and exit status 1 each" test "$bad" -eq 0

    # The committed round on assets that differ in one byte of the last file
    # start-up reads: refused once they are read, in one line.
    local other="$E2E_TMP/other"
    mkdir -p "$other" && cp -r Textures Models Sound "$other/"
    printf '\x01' | dd of="$other/Sound/Win3.wav" bs=1 seek=100 conv=notrunc status=none
    GAME_ARGS=(--replay "$ROUND" --fast)
    e2e_start_game other -pace 0 "$other"
    e2e_wait_exit 120 || { e2e_kill_game; GAME_STATUS=timeout; }
    e2e_check "other asset files: exit status 1" test "$GAME_STATUS" = 1
    e2e_check "other asset files: one line" test "$(cat "$GAME_OUT")" = \
        "The recording $ROUND cannot be replayed: made with other asset files"
}

e2e_start_display && e2e_start_wm || exit 1
cases=${E2E_CASES:-round random damaged}
for c in $cases; do
    "case_$c"
    e2e_kill_game
done
e2e_log "replay e2e: $E2E_PASSES passed, $E2E_FAILS failed"
[ "$E2E_FAILS" -eq 0 ]
