#!/usr/bin/env bash
# run_e2e.sh -- plays the built game as a person would: starts it from the
# repository root on its own 640x480 Xvfb screen, drives it with real X key and
# mouse input, and judges it by screenshots, its console output, its exit status
# and a recording of its sound.
#   bash tests/e2e/run_e2e.sh <balltoss binary> <e2e_wavscan binary> [case ...]
# Cases: startup walk throw click closing kept desktop assets screens (the default).
# screens starts screens of its own sizes.
# startup runs on a bare X server, as a kiosk would run the game; the others
# under a window manager (openbox), as players have.
set -u
GAME=$(realpath "$1")
WAVSCAN=$(realpath "$2")
shift 2
cd "$(dirname "$0")/../.."
ROOT=$PWD
E2E_TMP=$(mktemp -d /tmp/balltoss-e2e.XXXXXX)
source tests/e2e/lib.sh
trap e2e_cleanup EXIT

# The console holds exactly this line, this many times (none by default),
# and nothing else. It carries only start-up and asset-loading lines; with
# every asset in place there are none, so anything printed in play is a fault.
console_is() {
    local want=""
    [ "${2:-0}" -gt 0 ] && want=$(for _ in $(seq "$2"); do printf '%s\n' "$1"; done)
    [ "$(cat "$GAME_OUT")" = "$want" ] && return 0
    e2e_log "    console: $(head -c 600 "$GAME_OUT")"
    return 1
}

# A key ($1, named $2 in the checks) ends the game with status 0 and nothing
# on the console.
ends_cleanly() {
    xdotool key "$1"
    e2e_check "$2 ends the program" e2e_wait_exit 30
    e2e_check "exit status 0" game_exited_zero
    e2e_check "console empty" console_is
}

# ---- start-up: the HUD over the scene, then Esc ---------------------------

case_startup() {
    e2e_log "startup: on a bare X server, with window = yes in the settings file, the first picture shows the HUD and the hint; Esc ends with status 0"
    e2e_stop_wm
    mkdir -p "$E2E_TMP/config/balltoss"
    printf '# a player who plays in a window\nwindow = yes\n' >"$E2E_TMP/config/balltoss/balltoss.conf"
    # A clock slowed twentyfold keeps the round at 5:00 while the shot is taken.
    e2e_start_game startup -clock 0.05 "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    e2e_check "window is 640x480" \
        bash -c "xdotool getwindowgeometry $GAME_WINDOW | grep -q 'Geometry: 640x480'"
    # Without a window manager GLFW makes a full-screen window override-redirect.
    e2e_check "it is a window, not full screen" \
        bash -c "xwininfo -id $GAME_WINDOW | grep -q 'Override Redirect State: no'"
    sleep 1.5
    e2e_shot startup
    e2e_check "the scene shows" scene_shown startup
    e2e_check "score line reads YER SCORE!!! 0" text_reads startup 0 0 "YER SCORE!!! 0"
    e2e_check "time line reads Time remaining... 5:00" text_reads startup 0 8 "Time remaining... 5:00"
    e2e_check "no yellow text below the HUD's rows at the left" \
        at_most 5 "$(e2e_count startup 200x40+0+16 "$YELLOW")"
    # The crosshair's ring is light grey; the table and the balls behind it are not.
    e2e_check "crosshair at the centre" \
        at_least 20 "$(e2e_count startup $CROSSHAIR 'min(r,min(g,b))>0.5 && max(r,max(g,b))-min(r,min(g,b))<0.12')"
    e2e_check "crosshair only at the centre" \
        at_most 5 "$(e2e_count startup 24x24+408+228 'min(r,min(g,b))>0.5 && max(r,max(g,b))-min(r,min(g,b))<0.12')"
    e2e_check "power meter's yellow label at the bottom left" \
        at_least 20 "$(e2e_count startup 64x14+0+224 "$YELLOW")"
    e2e_check "no power bar while no ball is held" at_most 20 "$(e2e_count startup $POWER_BAR "$BLUE")"
    e2e_check "a first round shows the hint" hint_shown startup
    ends_cleanly Escape Esc
    rm "$E2E_TMP/config/balltoss/balltoss.conf"
}

# ---- walking -----------------------------------------------------------------

# Walking changes where the table's far panel shows: its width (nearer or
# farther) for W and S, its left edge (sideways) for A and D.
walk_moves() {
    local key=$1 field=$2 sign=$3 before after
    before=$(panel_box "walk_$key.before" | awk -v f="$field" '{ print f == "w" ? $3 : $1 }')
    after=$(panel_box "walk_$key.after" | awk -v f="$field" '{ print f == "w" ? $3 : $1 }')
    f=${field/w/width}; e2e_log "    ${key^^}: panel ${f/x/left edge} $before -> $after"
    [ -n "$before" ] && [ -n "$after" ] && [ $(((after - before) * sign)) -ge 3 ]
}

case_walk() {
    e2e_log "walk: W brings the table nearer, S takes it away, A and D step sideways"
    e2e_start_game walk "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    e2e_check "the scene shows" scene_appears walk_start
    sleep 2.5           # the player settles on the floor
    local key field sign
    for key in s w a d; do
        case $key in s) field=w sign=-1 ;; w) field=w sign=1 ;; a) field=x sign=1 ;; d) field=x sign=-1 ;; esac
        e2e_shot "walk_$key.before"
        # S first takes the player to the back wall, where the eye is in the
        # plane of a face: a frame there must not stall and the keys after it
        # must walk the player off at once.
        e2e_hold_key "$key" 0.3
        sleep 0.8
        e2e_shot "walk_$key.after"
        e2e_check "walking with ${key^^} moves the right way" walk_moves "$key" "$field" "$sign"
    done
    # Without a key the player comes to rest: then the view stays as it is.
    sleep 4
    e2e_shot walk_still.before
    sleep 1
    e2e_shot walk_still.after
    e2e_check "standing still keeps the view" same_view walk_still.before walk_still.after
    ends_cleanly Escape Esc
}

# ---- grabbing and throwing a ball ------------------------------------------------

power_bar_pixels() { e2e_count "$1" $POWER_BAR "$BLUE"; }

# While a ball stays held the bar rises a step a pass and wraps to the bottom
# after 50 passes, which a quick frame does faster than shots follow. So the
# game is held still (SIGSTOP) while each shot is taken and read, and let run
# for a moment between shots: up to 80 shots must see it rise, wrap and rise again.
power_rises_and_wraps() {
    local i h prev="" rises=0 wraps=0 seen=""
    for i in $(seq 80); do
        kill -STOP "$GAME_PID"
        e2e_shot power
        h=$(power_bar_pixels power)
        kill -CONT "$GAME_PID"
        seen="$seen $h"
        if [ -n "$prev" ]; then
            [ "$h" -gt $((prev + 40)) ] && rises=$((rises + 1))
            [ "$h" -lt $((prev - 3000)) ] && [ "$rises" -gt 0 ] && wraps=1 rises=0
        fi
        [ "$wraps" -eq 1 ] && [ "$rises" -ge 2 ] && break
        prev=$h
        sleep 0.03
    done
    e2e_log "    power bar pixels:$seen"
    [ "$wraps" -eq 1 ] && [ "$rises" -ge 2 ]
}

# Black pixels round the crosshair: in the 40-pixel square about the centre
# but outside the 24-pixel square that the crosshair itself covers.
dark_round_crosshair() {
    local dark="max(r,max(g,b))<0.08"
    echo $(( $(e2e_count "$1" 40x40+300+220 "$dark") - $(e2e_count "$1" 24x24+308+228 "$dark") ))
}

# Waits until a look shows: the picture differs from shot $1 (up to 3 s on a
# slow machine), and a little more for the pass after it.
drawn_since() {
    local i
    for i in $(seq 15); do
        sleep 0.2
        e2e_shot drawn
        [ "$(e2e_diff "$1" drawn $SCENE)" -ge 500 ] && break
    done
    sleep 0.2
}

# Turns the view until a ball is under the crosshair, as a player aiming at
# it would: done when the ring round the crosshair is mostly black ball.
aim_at_ball() {
    local try x y
    for try in 1 2 3 4 5 6 7 8; do
        e2e_shot aim
        [ "$(dark_round_crosshair aim)" -ge 700 ] && return 0
        read -r x y <<<"$(e2e_balls aim | head -n1)"
        [ -n "$x" ] || { e2e_look 0 60; continue; }
        e2e_log "    nearest ball at $x,$y"
        e2e_look "$(e2e_pixels_to_mouse $((x - 320)))" "$(e2e_pixels_to_mouse $((y - 240)))"
        drawn_since aim
    done
    return 1
}

# Presses the right button on the ball under the crosshair, as long as it
# takes the power bar to show that the ball is held, and lets go of the button:
# the ball stays held until it is thrown.
grab_a_ball() {
    local try
    xdotool mousedown 3
    for try in 1 2 3 4 5 6; do
        sleep 0.25
        e2e_shot grab_try
        if [ "$(power_bar_pixels grab_try)" -gt 100 ]; then
            xdotool mouseup 3
            return 0
        fi
    done
    xdotool mouseup 3
    return 1
}

# Turns sideways until the far panel is straight ahead: a held ball then floats
# over the lane, where no side wall pushes it off the crosshair. A panel cut
# by the screen's edge is only a direction.
face_the_lane() {
    local try x y w off
    for try in 1 2 3 4 5 6; do
        e2e_shot lane
        read -r x y w <<<"$(panel_box lane)"
        [ -n "$x" ] || return 1
        off=$((x + w / 2 - 320))
        [ "$off" -ge -10 ] && [ "$off" -le 10 ] && return 0
        [ "$x" -le 81 ] && off=-150
        [ $((x + w)) -ge 639 ] && off=150
        e2e_look "$(e2e_pixels_to_mouse "$off")" 0
        drawn_since lane
    done
    return 1
}

# The held ball comes to float before the eye, a black disc round the
# crosshair; on a slow machine it takes a moment to rise out of the tray.
held_ball_floats() {
    local i disc
    for i in $(seq 12); do
        e2e_shot held_3
        disc=$(e2e_count held_3 120x120+260+180 'max(r,max(g,b))<0.08')
        [ "$disc" -ge 1500 ] && break
        sleep 0.3
    done
    e2e_log "    black pixels round the crosshair while held: $disc"
    [ "$disc" -ge 1500 ]
}

case_throw() {
    e2e_log "throw: look down at the tray, grab a ball with the right button, throw with the left"
    e2e_start_game throw -wave "$E2E_TMP/throw.wav" "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    e2e_check "the scene shows" scene_appears throw_start
    e2e_check "the hint shows" hint_shown throw_start
    sleep 2.5           # the balls roll down into the tray
    e2e_look 0 600 4
    e2e_shot throw_aim
    e2e_check "no power bar before a ball is held" at_most 20 "$(power_bar_pixels throw_aim)"
    e2e_check "a ball comes under the crosshair" aim_at_ball || return
    e2e_check "a ball is grabbed (the power bar shows)" grab_a_ball || { xdotool mouseup 3; return; }
    # Looking up again, above the lane, the ball floats 3 units before the
    # eye, a black disc round the crosshair, while the power bar rises and
    # wraps. Held that high, even a throw at no power drops it out of sight of
    # the crosshair; held just over the lane, a weak throw would set it down
    # where it was.
    # Small steps: on a slow machine two may come between the polls that put
    # the pointer back at the centre, and must not reach the screen's edge.
    e2e_look 0 -650 6
    e2e_check "the view turns to face the lane" face_the_lane
    e2e_check "the power bar rises and wraps while the ball is held" power_rises_and_wraps
    e2e_check "the held ball floats before the eye" held_ball_floats
    local disc
    disc=$(e2e_count held_3 120x120+260+180 'max(r,max(g,b))<0.08')
    local throw_at
    throw_at=$(e2e_real_since_start)
    xdotool click 1
    sleep 0.4
    e2e_shot thrown
    e2e_check "no power bar once the ball is thrown" at_most 20 "$(power_bar_pixels thrown)"
    e2e_check "no hint after the first throw" hint_gone thrown
    e2e_check "the picture changes with the throw" at_least 3000 "$(e2e_diff held_3 thrown $SCENE)"
    # A second later the ball has flown off or dropped: at most half of its
    # disc is left round the crosshair.
    sleep 0.6
    e2e_shot thrown_later
    local later
    later=$(e2e_count thrown_later 120x120+260+180 'max(r,max(g,b))<0.08')
    e2e_log "    black pixels round the crosshair a second after the throw: $later"
    e2e_check "the ball moves away from the eye" at_most $((disc / 2)) "$later"
    sleep 2
    ends_cleanly Escape Esc
    # The thrown ball lands on the lane and rolls: heard in the recording,
    # which began when the game opened its sound device, a moment after start.
    e2e_loud_spans "$E2E_TMP/throw.wav" >"$E2E_TMP/throw.spans"
    e2e_log "    recording: $(head -n1 "$E2E_TMP/throw.spans"), thrown at ${throw_at}s"
    e2e_check "the throw is heard (loud within 3 s after it)" \
        awk -v t="$throw_at" 'NR > 1 && $2 >= t && $1 <= t + 3 { found = 1 } END { exit !found }' \
        "$E2E_TMP/throw.spans"
    # Once the balls have come to rest in the tray, and before one is grabbed,
    # nothing sounds: at least a second of silence.
    e2e_check "silence while the balls rest" \
        awk -v t="$throw_at" 'NR > 1 { if (NR > 2 && $1 < t && $1 - last >= 1) found = 1; last = $2 }
                             END { exit !found }' "$E2E_TMP/throw.spans"
}

# ---- a left click with empty hands --------------------------------------------

# The hint is up while the round is young (game time, under 20 s) and none
# of the clicks so far was a throw.
hint_stays() {
    e2e_log "    $(e2e_game_seconds) s of game time"
    hint_shown "$1"
}

# The hint is gone, and not merely by its 20 s having run out.
hint_gone_early() {
    local t
    t=$(e2e_game_seconds)
    e2e_log "    $t s of game time"
    hint_gone "$1" && awk -v t="$t" 'BEGIN { exit !(t < 19) }'
}

case_click() {
    e2e_log "click: a left click with empty hands is forgotten and no throw; the ball grabbed next stays held; the first throw ends the hint"
    # The clock runs at a tenth of its speed but while the balls settle: the
    # round stays within the hint's 20 s while the view turns, however busy
    # the machine.
    e2e_start_game click -clock 0.1 "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    e2e_check "the scene shows" scene_appears click_start
    e2e_clock_rate 1
    sleep 2.5
    e2e_clock_rate 0.1
    e2e_look 0 600 4
    e2e_check "a ball comes under the crosshair" aim_at_ball || return
    xdotool click 1
    sleep 0.5
    # A right click, as a player grabs: the button is up again at once.
    xdotool click 3
    sleep 0.3
    e2e_check "the ball grabbed stays held: the bar rises and wraps" power_rises_and_wraps
    e2e_shot held
    e2e_check "neither the empty-handed click nor the grab ends the hint" hint_stays held
    # A left click on a ball throws the held one. Looking down at the tray,
    # the look ray meets the tray's wall, and the ball rests on the wall's rim
    # just above the crosshair, where no click finds it: look up over the lane,
    # as a player aims. On the slow clock the ball is still rising from the
    # tray: a moment of the real clock brings it onto the look ray, before the
    # eye, where the click finds it.
    e2e_look 0 -650 6
    e2e_clock_rate 1
    sleep 1.5
    e2e_check "the held ball comes before the eye" held_ball_floats
    e2e_clock_rate 0.1
    # A click that finds no ball under the crosshair throws nothing; a player
    # clicks again.
    local try
    for try in 1 2 3; do
        xdotool click 1
        sleep 0.5
        e2e_shot thrown
        hint_gone thrown 2>/dev/null && break
    done
    e2e_check "the first throw ends the hint" hint_gone_early thrown
    ends_cleanly Escape Esc
}

# ---- the desktop: the pointer, minimising and closing -------------------------------

# The panel's left edge moved as a turn of $1 radian right would move it
# (the screen's 240-pixel half height is tan 22.5 degrees), within 2 pixels.
turned_by() {
    local a b
    a=$(panel_box "$2")
    b=$(panel_box "$3")
    e2e_log "    panel's left edge: ${a%% *} -> ${b%% *}"
    [ -n "$a" ] && [ -n "$b" ] && awk -v t="$1" -v x="${a%% *}" -v y="${b%% *}" 'BEGIN {
        f = 240 / 0.41421356; want = 320 - f * sin(atan2(320 - x, f) + t) / cos(atan2(320 - x, f) + t)
        print "    expected " want; exit !(y - want <= 2 && want - y <= 2) }' >&2
}

# The first picture with the pointer parked at x y before the start.
first_view() {
    xdotool mousemove "$2" "$3"
    e2e_start_game "$1" "$ROOT"
    e2e_wait_window 60 && scene_appears "$1" || return 1
    sleep 2
    e2e_shot "$1"
}

# The time line's seconds in a shot.
time_left() {
    e2e_read_text "$1" 0 8 22 | awk '{ split($3, t, ":"); print t[1] * 60 + t[2] }'
}

# Shot $2's time left is shot $1's, or at most $3 seconds less: the game
# played on from shot $1 until it paused, while the shot was saved.
time_kept() {
    local a b
    a=$(time_left "$1")
    b=$(time_left "$2")
    e2e_log "    time left: $a s, then $b s (up to $3 s less allowed)"
    [ -n "$a" ] && [ -n "$b" ] && [ $((a - b)) -ge 0 ] && [ $((a - b)) -le "$3" ]
}

case_desktop() {
    e2e_log "desktop: where the pointer was never turns the view; P and minimising pause the game, which sleeps; closing ends it"
    e2e_check "window opens (pointer at the centre)" first_view centred 320 240 || return
    xdotool key Escape
    e2e_wait_exit 30
    e2e_check "window opens (pointer at the corner)" first_view cornered 0 0 || return
    e2e_check "the first view is the one with the pointer at the centre" same_view centred cornered
    # The first motion the game sees after its window takes the focus only
    # marks where the pointer is (it may be the jump in from the corner): a
    # nudge of a pixel. Then a look turns by its own amount, the jump not
    # added: 100 pixels right turn the view 0.1 radian, and the panel's left
    # edge moves by as much on the screen.
    e2e_look 1 0
    e2e_look 100 0
    sleep 0.5
    e2e_shot looked
    e2e_check "the first look turns the view by its amount" turned_by 0.1 cornered looked
    # P pauses: the paused line shows over the frozen scene, and 3 s later,
    # the pointer moved meanwhile, not a pixel has changed, the time included.
    xdotool key p
    sleep 0.5
    e2e_shot paused_1
    e2e_check "P: the paused line shows" centred_line paused_1 184 "Paused - press P to play on"
    xdotool mousemove_relative -- 150 40
    sleep 3
    e2e_shot paused_2
    e2e_check "paused for 3 s: the time and the balls stand still" \
        equals 0 "$(e2e_diff paused_1 paused_2 640x480+0+0)"
    xdotool key p
    sleep 0.5
    e2e_shot resumed
    e2e_check "P again: the round plays on, the view has not turned" same_view looked resumed
    e2e_check "P again: the paused line and its band are gone" \
        at_most 100 "$(e2e_diff looked resumed 240x24+200+178)"
    # Minimised, the game pauses and sleeps; the pointer is the desktop's: it
    # moves 200 pixels meanwhile.
    local shot_at=$EPOCHREALTIME played
    e2e_shot before_minimised
    xdotool windowminimize --sync "$GAME_WINDOW"
    # The seconds played between the shot and the pause, rounded up, and one
    # for the time line's rounding; the 6 s and more minimised must not count.
    played=$(awk -v a="$shot_at" -v b="$EPOCHREALTIME" 'BEGIN { print int(b - a) + 2 }')
    sleep 1
    xdotool mousemove_relative -- 200 0
    local ticks
    ticks=$(game_cpu_ticks)
    sleep 5
    ticks=$(($(game_cpu_ticks) - ticks))
    e2e_log "    CPU while minimised: $ticks ticks of $(getconf CLK_TCK) a second, over 5 s"
    e2e_check "minimised, the game uses under 10% of a core" at_most $(($(getconf CLK_TCK) / 2)) "$ticks"
    xdotool windowactivate --sync "$GAME_WINDOW"
    sleep 1
    e2e_shot restored
    e2e_check "restored, the game shows itself paused" centred_line restored 184 "Paused - press P to play on"
    e2e_check "restored, the time left is as before" time_kept before_minimised restored "$played"
    xdotool key p
    sleep 0.5
    e2e_shot restored_play
    e2e_check "restored and P, the view has not turned" same_view looked restored_play
    # The window manager's close, as Alt+F4 asks for it.
    ends_cleanly alt+F4 "closing the window"
}

# ---- the end of the round --------------------------------------------------

# The closing screen: black, with yellow text only in the middle rows (the
# question, then the best score and the round's place below it).
closing_screen_shown() {
    e2e_shot "$1"
    [ "$(e2e_count "$1" 640x200+0+0 'r+g+b>0.03')" -eq 0 ] &&
        [ "$(e2e_count "$1" 640x160+0+320 'r+g+b>0.03')" -eq 0 ] &&
        [ "$(e2e_count "$1" $MIDDLE_ROWS "$YELLOW")" -gt 300 ]
}

wait_closing_screen() {
    local i
    for i in $(seq $(($2 * 2))); do
        closing_screen_shown "$1" && return 0
        sleep 0.5
    done
    return 1
}

# A line centred for the font's 8-pixel advance starts 4 pixels a character
# left of the middle.
centred_line() { text_reads "$1" $((320 - 4 * ${#3})) "$2" "$3"; }

case_closing() {
    e2e_log "closing: a round sped up sixtyfold ends on the closing screen; Y plays again, N ends"
    e2e_start_game closing -clock 0.05 "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    e2e_check "the scene shows" scene_appears closing_play
    sleep 1
    # N during play is no answer to a question not yet asked.
    xdotool key n
    sleep 0.5
    e2e_clock_rate 60
    e2e_check "closing screen after 300 s of game time" wait_closing_screen closing_1 30 || return
    # The closing screen polls the keys every millisecond of game time: at the
    # real clock's pace, so that its waits below are not tens of thousands of
    # polls for last.btr's replay to go through again.
    e2e_clock_rate 1
    local line row=216
    for line in "TIME'S UP!!!" "Your final score was 0" "Thanks for playing!" "You wanna play again? Y/N"; do
        e2e_check "centred line reads $line" centred_line closing_1 $row "$line"
        row=$((row + 16))
    done
    e2e_check "the first round kept is the best" centred_line closing_1 288 "New best score!"
    # The screen waits, the N of the play forgotten: nothing changes while no answer comes.
    sleep 3
    e2e_shot closing_2
    e2e_check "the closing screen stays while unanswered" equals 0 "$(e2e_diff closing_1 closing_2 640x480+0+0)"
    # Esc on the closing screen is no answer either, nor kept for later.
    xdotool key Escape
    # Slow the clock before answering, so that the new round's first seconds
    # can be read; the rate file is read again within two seconds.
    e2e_clock_rate 0.02
    sleep 2.5
    xdotool key y
    sleep 1
    e2e_shot new_round
    e2e_check "Y: the scene and the HUD are back" scene_shown new_round
    e2e_check "Y: the new round shows 5:00" text_reads new_round 0 8 "Time remaining... 5:00"
    e2e_check "Y: the score is 0 again" text_reads new_round 0 0 "YER SCORE!!! 0"
    sleep 2
    e2e_shot new_round_later
    e2e_check "Y after Esc: the new round still runs 3 s later" scene_shown new_round_later
    # Y during play is no answer to the next question either.
    xdotool key y
    sleep 0.5
    e2e_clock_rate 60
    e2e_check "the new round ends on the closing screen too" wait_closing_screen closing_3 30 || return
    e2e_clock_rate 1
    e2e_check "a tie: the best score" centred_line closing_3 288 "Best score: 0"
    e2e_check "a tie goes below the first" centred_line closing_3 304 "This round is number 2 of the best 10"
    sleep 3
    e2e_check "the game waits on the closing screen" game_alive
    ends_cleanly n N
    kept_rounds
}

# What the two rounds left: both in the table, the session in last.btr and
# the first round alone in best.btr, each replayed to "replay verified".
kept_rounds() {
    local scores
    scores=$(XDG_DATA_HOME="$E2E_TMP/data" "$GAME" --scores)
    e2e_log "    --scores: $(echo "$scores" | tr '\n' '|')"
    e2e_check "--scores lists both rounds" test "$(echo "$scores" | grep -cE '^ *[12]\. +0  [0-9-]{10} [0-9:]{8}$')" = 2
    local kept
    for kept in last best; do
        # The replay polls the closing screen as often as the round did; its
        # sleeps are sped up.
        GAME_ARGS=(--replay "$E2E_TMP/data/balltoss/$kept.btr" --fast)
        e2e_start_game "replay_$kept" -clock 100 -pace 0 "$ROOT"
        e2e_check "$kept.btr: the replay ends" e2e_wait_exit 120 || return
        e2e_log "    $(cat "$GAME_OUT")"
        e2e_check "$kept.btr: replay verified, status 0" grep -q "^replay verified" "$GAME_OUT"
        e2e_check "$kept.btr: exit status 0" game_exited_zero
    done
}

# ---- a round that does not end well -----------------------------------------------

# Killed mid-round, the game leaves last.btr replaying to its cut; Esc stops
# that replay at once; a damaged scores file is moved aside for a new table.
case_kept() {
    e2e_log "kept: a game killed mid-round, its last round replayed and stopped with Esc; damaged scores"
    GAME_ARGS=()
    e2e_start_game killed "$ROOT"
    e2e_check "window opens" e2e_wait_window 60 || return
    sleep 4
    kill -KILL "$GAME_PID"
    wait "$GAME_PID" 2>/dev/null
    GAME_PID=""
    local last="$E2E_TMP/data/balltoss/last.btr"
    GAME_ARGS=(--replay "$last" --fast)
    e2e_start_game killed_replay -pace 0 "$ROOT"
    e2e_check "the killed round's replay ends" e2e_wait_exit 120 || return
    e2e_log "    $(cat "$GAME_OUT")"
    e2e_check "it replays to its cut, status 0" game_exited_zero
    e2e_check "one line: cut short at pass N" console_is \
        "$(grep -oE '^replay ended: the recording was cut short at pass [1-9][0-9]*$' "$GAME_OUT")" 1
    GAME_ARGS=(--replay "$last")
    e2e_start_game esc_replay "$ROOT"
    e2e_check "the replay's window opens" e2e_wait_window 60 || return
    sleep 1
    xdotool key Escape
    e2e_check "Esc ends the replay at once" e2e_wait_exit 5 || return
    e2e_check "Esc: exit status 0" game_exited_zero
    e2e_check "Esc: one line, stopped at pass N of M" console_is \
        "$(grep -oE '^replay stopped at pass [1-9][0-9]* of [1-9][0-9]*$' "$GAME_OUT")" 1
    printf 'not a table\n' >"$E2E_TMP/data/balltoss/scores.txt"
    local out
    out=$(XDG_DATA_HOME="$E2E_TMP/data" "$GAME" --scores)
    e2e_log "    --scores: $(echo "$out" | tr '\n' '|')"
    e2e_check "damaged scores: one line naming where it went, then an empty table" \
        test "$(echo "$out" | grep -c 'moved to .*scores.txt.damaged-')" = 1
    e2e_check "damaged scores: kept, not deleted" grep -q "not a table" "$E2E_TMP"/data/balltoss/scores.txt.damaged-*
}

# ---- screens and windows of other sizes -------------------------------------------

# The time line of an unscaled shot reads whole, in the round's first minute
# (a busy machine may take a while to reach the shot).
time_line_reads() {
    local got
    got=$(e2e_read_text "$1" 0 8 22)
    [[ "$got" =~ ^"Time remaining... "(5:00|4:[0-5][0-9])$ ]] && return 0
    e2e_log "    at 0,8 reads \"$got\""
    return 1
}

# The HUD's two lines read whole in an unscaled shot.
hud_reads() {
    e2e_check "$2: score line reads whole" text_reads "$1" 0 0 "YER SCORE!!! 0"
    e2e_check "$2: time line reads whole" time_line_reads "$1"
}

# A fresh screen of this size with openbox; the game on it (with GAME_ARGS),
# its clock slowed twentyfold unless a rate is given, so that the round stays
# at 5:00 while it is read.
screen_of() {
    e2e_kill_game
    e2e_stop_display
    e2e_start_display "$1x24" && e2e_start_wm || return 1
    e2e_start_game "$2" -clock "${3:-0.05}" "$ROOT"
}

# Waits for the window of a --window game, then for its first frames (shot
# $1, unscaled to 640x480), up to 60 s on a busy machine.
window_appears() {
    local i
    for i in $(seq 150); do
        GAME_WINDOW=$(xdotool search --onlyvisible --class balltoss 2>/dev/null | head -n1)
        [ -n "$GAME_WINDOW" ] && break
        game_alive || return 1
        sleep 0.2
    done
    [ -n "$GAME_WINDOW" ] || return 1
    for i in $(seq 60); do
        sleep 1
        e2e_window_shot "$1.shot"
        [ -n "$(lit_box "$1.shot")" ] && e2e_unscale "$1.shot" "$1" && scene_shown "$1" && return 0
    done
    return 1
}

# Full screen on a desktop that keeps its mode: the monitor's whole size.
full_screen_at() {
    local size=$1 name=full_$1
    screen_of "$size" "$name" || return
    e2e_check "$size: window opens" e2e_wait_window 60 || return
    e2e_check "$size: the window covers the screen" \
        bash -c "xdotool getwindowgeometry $GAME_WINDOW | grep -q 'Geometry: $size'"
    sleep 1.5
    e2e_shot "$name"
    e2e_check "$size: the picture is 4:3, centred, between bars" picture_fits "$name"
    e2e_unscale "$name" "$name.640"
    hud_reads "$name.640" "$size"
}

case_screens() {
    e2e_log "screens: full screen on larger desktops and windows of other sizes show the whole picture, scaled"
    full_screen_at 1280x1024
    ends_cleanly Escape Esc
    full_screen_at 1920x1080
    e2e_check "1920x1080: the scene shows" scene_shown full_1920x1080.640
    e2e_check "the title is Ball Toss" test "$(xdotool getwindowname "$GAME_WINDOW")" = "Ball Toss"
    e2e_check "the window has the game's 128x128 icon" \
        bash -c "xprop -id $GAME_WINDOW _NET_WM_ICON | head -n1 | grep -q 'Icon (128 x 128)'"
    # A look of 100 pointer pixels turns the view 0.1 radian at any scale.
    e2e_look 1 0
    e2e_look 100 0
    sleep 0.5
    e2e_shot full_looked
    e2e_unscale full_looked full_looked.640
    e2e_check "1920x1080: the look turns by its pointer pixels" \
        turned_by 0.1 full_1920x1080.640 full_looked.640
    # The closing screen, scaled as the play was.
    e2e_clock_rate 60
    local i row line
    for i in $(seq 40); do
        e2e_shot closing_big
        e2e_unscale closing_big closing_big.640 full_1920x1080
        [ "$(e2e_count closing_big.640 $MIDDLE_ROWS "$YELLOW")" -gt 300 ] && break
        sleep 0.5
    done
    e2e_check "1920x1080: closing screen, nothing outside its lines" equals 0 \
        "$(convert "$E2E_TMP/closing_big.png" -crop 1920x400+0+0 +repage -channel RGB -separate \
            -evaluate-sequence max -threshold 2% -format '%[fx:round(mean*w*h)]' info:)"
    row=216
    for line in "TIME'S UP!!!" "You wanna play again? Y/N"; do
        e2e_check "1920x1080: the closing screen reads $line" centred_line closing_big.640 $row "$line"
        row=$((row + 48))
    done
    ends_cleanly n N

    # A window resized by the window manager: the picture follows, the view
    # does not turn. The clock runs at its own pace until the player has
    # settled on the floor, so that only the resize could move the view.
    GAME_ARGS=(--window)
    screen_of 1920x1080 resized 1
    GAME_ARGS=()
    e2e_check "--window: a window opens" window_appears resized_first || return
    sleep 3
    e2e_clock_rate 0.05
    sleep 1
    e2e_window_shot resized_before
    xdotool windowmove --sync "$GAME_WINDOW" 0 0
    xdotool windowsize --sync "$GAME_WINDOW" 1280 960
    sleep 1.5
    e2e_window_shot resized
    e2e_check "--window resized to 1280x960: the window is that size" \
        test "$(identify -format %wx%h "$E2E_TMP/resized.png")" = 1280x960
    e2e_check "--window resized: the picture is 4:3, centred, between bars" picture_fits resized
    e2e_unscale resized resized.640
    hud_reads resized.640 "--window resized"
    e2e_check "--window resized: the view has not turned" same_view resized_before resized.640
    ends_cleanly Escape Esc

    # On a 640x480 screen, openbox shrinks the window to make room for its
    # title bar: the whole picture shows, scaled down.
    GAME_ARGS=(--window)
    screen_of 640x480 small
    GAME_ARGS=()
    e2e_check "--window on 640x480: a window opens" window_appears small_first || return
    e2e_window_shot small
    e2e_check "--window on 640x480: the picture is 4:3, centred, between bars" picture_fits small
    e2e_unscale small small.640
    hud_reads small.640 "--window on 640x480"
    ends_cleanly Escape Esc
}

# ---- missing and damaged assets ---------------------------------------------------

# A copy of the asset folders, changed by a command run inside it, played for
# two seconds and ended with Esc: the game runs on with its HUD drawn, and the
# console holds exactly the fault's line, once for each place the file fills.
play_damaged() {
    local name=$1 change=$2 line=$3 times=$4 dir="$E2E_TMP/assets.$1"
    mkdir -p "$dir"
    cp -r "$ROOT/Textures" "$ROOT/Models" "$ROOT/Sound" "$dir/"
    (cd "$dir" && eval "$change")
    e2e_start_game "$name" "$dir"
    e2e_check "$name: window opens" e2e_wait_window 60 || return
    sleep 2
    e2e_shot "$name"
    e2e_check "$name: the game runs" game_alive
    e2e_check "$name: its HUD is drawn" at_least 150 "$(e2e_count "$name" $TIME_LINE "$YELLOW")"
    xdotool key Escape
    e2e_check "$name: Esc ends the program" e2e_wait_exit 30
    e2e_check "$name: exit status 0" game_exited_zero
    e2e_check "$name: its line $times times on the console, nothing else" console_is "$line" "$times"
}

case_assets() {
    e2e_log "assets: each missing or damaged file gives its line and a defined outcome"
    play_damaged no_wall 'rm Textures/Wall.tga' "Failed to load image, Textures/Wall.tga!!!" 1
    # Wood1.tga fills two entries of the texture table.
    play_damaged bad_tga 'head -c 1000 "$ROOT/Textures/Wood1.tga" >Textures/Wood1.tga' \
        "Failed to load image, Textures/Wood1.tga!!!" 2
    play_damaged no_win2 'rm Sound/Win2.wav' "Error: Failed to load WAV data!" 1
    # Rolling.wav fills six slots of the sound bank, one a ball.
    play_damaged bad_wav 'head -c 30 "$ROOT/Sound/Rolling.wav" >Sound/Rolling.wav' \
        "Error: Failed to load WAV data!" 6
    # Without the ball's mesh the balls still roll (their bodies are spheres);
    # they are drawn as nothing.
    play_damaged no_ball 'rm Models/Ball_small.obj' "Model file Models/Ball_small.obj: not found" 1
    # A damaged table mesh is refused with a line naming the file and the
    # fault; the game runs on without a table to draw.
    play_damaged bad_table "printf 'v 1 2 3\\nf 1 2 9\\n' >Models/Table_Small2.obj" \
        "Model file Models/Table_Small2.obj: no face-list marker line" 1
}

# ---- run -------------------------------------------------------------------------

cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(startup walk throw click closing kept desktop assets screens)
e2e_start_display || exit 1
e2e_log "display $DISPLAY, scratch $E2E_TMP"
ran=0
for c in "${cases[@]}"; do
    [ "$c" = startup ] || e2e_start_wm || exit 1
    GAME_ARGS=()   # each case starts the game with its own options
    "case_$c"
    e2e_kill_game
    ran=$((ran + 1))
done
e2e_log "e2e: $E2E_PASSES passed, $E2E_FAILS failed, $ran of ${#cases[@]} cases played to the end"
[ "$E2E_FAILS" -eq 0 ] && [ "$ran" -eq ${#cases[@]} ]
