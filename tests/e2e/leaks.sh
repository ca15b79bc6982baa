#!/usr/bin/env bash
# leaks.sh -- the game built with AddressSanitizer (-DBALLTOSS_SANITIZE=ON):
# start-up, a few seconds of play (walking, looking, grabbing and throwing a
# ball) and Esc, with LeakSanitizer on. Passes when the game ends with status 0
# and the sanitizers report nothing: no leak, no memory error, no undefined
# behaviour.
#   bash tests/e2e/leaks.sh <sanitized balltoss binary>
#
# The graphics and GLX driver modules that libglvnd and Mesa load at start-up
# are unloaded again at exit, before LeakSanitizer looks; memory that only
# they still pointed to then reads as leaked from an "<unknown module>" (240
# bytes in 3 blocks here, Mesa 22.3). A small preloaded library makes dlclose
# keep every module loaded, so that memory stays reachable and nothing has to
# be suppressed by name. A control run with a deliberate leak shows that leaks
# are still caught that way.
set -u
GAME=$(realpath "$1")
cd "$(dirname "$0")/../.."
ROOT=$PWD
E2E_TMP=$(mktemp -d /tmp/balltoss-leaks.XXXXXX)
WAVSCAN=/bin/true
source tests/e2e/lib.sh
trap 'e2e_kill_game; e2e_stop_display' EXIT

ASAN_LIB=$(ldd "$GAME" | awk '/libasan/ { print $3 }')
[ -n "$ASAN_LIB" ] || { e2e_log "$GAME is not built with AddressSanitizer"; exit 1; }
printf 'int dlclose(void* handle) { (void)handle; return 0; }\n' >"$E2E_TMP/keep.c"
printf '#include <stdlib.h>\nvoid* kept;\n__attribute__((constructor)) static void Leak(void) { kept = malloc(77); kept = 0; }\n' \
    >"$E2E_TMP/leak.c"
cc -shared -fPIC -o "$E2E_TMP/keep_modules.so" "$E2E_TMP/keep.c" &&
    cc -shared -fPIC -o "$E2E_TMP/leak77.so" "$E2E_TMP/leak.c" || exit 1
e2e_start_display && e2e_start_wm || exit 1

# One game: play a little and press Esc. $1 names the run, $2 the extra preload.
play_sanitized() {
    GAME_ENV=(ASAN_OPTIONS=detect_leaks=1:halt_on_error=0 UBSAN_OPTIONS=print_stacktrace=1
              "LD_PRELOAD=$ASAN_LIB $E2E_TMP/keep_modules.so $2")
    e2e_start_game "$1" "$ROOT"
    e2e_check "$1: window opens" e2e_wait_window 120 || return 1
    sleep 1
    e2e_hold_key s 0.5
    e2e_hold_key d 0.3
    e2e_look 0 600 4
    xdotool mousedown 3
    sleep 0.5
    xdotool mouseup 3
    e2e_look 0 -400 2
    xdotool click 1
    sleep 2
    xdotool key Escape
    e2e_check "$1: Esc ends the program" e2e_wait_exit 120
}

play_sanitized play ""
e2e_check "exit status 0" game_exited_zero
e2e_check "no leak, memory error or undefined behaviour reported" \
    bash -c "! grep -E 'LeakSanitizer|AddressSanitizer|runtime error' '$GAME_OUT'"
[ -s "$GAME_OUT" ] && e2e_log "    console: $(head -c 2000 "$GAME_OUT")"

play_sanitized control "$E2E_TMP/leak77.so"
e2e_check "control: a 77-byte leak is still reported" \
    grep -q 'Direct leak of 77 byte' "$GAME_OUT"
e2e_log "leaks: $E2E_PASSES passed, $E2E_FAILS failed (logs in $E2E_TMP)"
[ "$E2E_FAILS" -eq 0 ]
