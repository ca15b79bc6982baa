# lib.sh -- helpers for playing the built game as a person would: its own Xvfb,
# real X input through xdotool, screenshots of the root window, a sound recording
# through OpenAL Soft's wave driver and a clock that libfaketime can speed up.
# Sourced by every script here; checked outcomes report through e2e_check.

E2E_FAILS=0
E2E_PASSES=0
XVFB_PID=""
GAME_PID=""
GAME_STATUS=""

e2e_log() { printf "%s%s\n" "${E2E_STAMP:+$SECONDS }" "$*" >&2; }

# One checked outcome: a name, then a command whose status decides.
e2e_check() {
    local name=$1
    shift
    if "$@"; then
        E2E_PASSES=$((E2E_PASSES + 1))
        e2e_log "  ok   $name"
        return 0
    fi
    E2E_FAILS=$((E2E_FAILS + 1))
    e2e_log "  FAIL $name"
    return 1
}

# ---- the display ----------------------------------------------------------

# A private screen (640x480, 24-bit unless given) on the first free display
# number. It must not reset when its last client leaves: a client still
# connecting at that moment (the game, while a screenshot closes) would be dropped.
e2e_start_display() {
    local fdfile="$E2E_TMP/display.$BASHPID"
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 "${1:-640x480x24}" -noreset -nolisten tcp 3>"$fdfile" \
        >"$E2E_TMP/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    [ -s "$fdfile" ] || { e2e_log "Xvfb did not start"; cat "$E2E_TMP/xvfb.log" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$fdfile")"
    unset XAUTHORITY
    for i in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    e2e_log "Xvfb on $DISPLAY does not answer"
    return 1
}

e2e_stop_display() {
    e2e_stop_wm
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
}

# A window manager, as players have: openbox, ready once it owns the screen.
WM_PID=""
e2e_start_wm() {
    [ -n "$WM_PID" ] && return 0
    openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
    WM_PID=$!
    local i
    for i in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    e2e_log "openbox did not start"
    return 1
}

# A bare X server, as a kiosk runs the game.
e2e_stop_wm() {
    [ -n "$WM_PID" ] || return 0
    kill "$WM_PID" 2>/dev/null && wait "$WM_PID" 2>/dev/null
    WM_PID=""
    # Its mark on the root window outlives it; the next one sets it afresh.
    xprop -root -remove _NET_SUPPORTING_WM_CHECK
}

# At the end of a run: the game and the display stopped, the shots and logs
# removed unless a check failed or E2E_KEEP is set.
e2e_cleanup() {
    e2e_kill_game
    e2e_stop_display
    if [ -z "${E2E_KEEP:-}" ] && [ "$E2E_FAILS" -eq 0 ]; then
        rm -rf "$E2E_TMP"
    else
        e2e_log "screenshots and logs kept in $E2E_TMP"
    fi
}

# ---- the clock ------------------------------------------------------------

# The game's clock runs through libfaketime driven by a rate file, so that a
# test can slow it down (to read the first seconds of a round) and speed it up
# (to reach the round's end) while the game runs. Each change keeps the fake
# clock continuous: fake = real * rate + offset, seconds since the game began.
# The thread-safe build: OpenAL Soft and llvmpipe read the clock from their own threads.
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketimeMT.so.1 2>/dev/null | head -n1)
# The display's refresh (pace.cpp), built with the game in its build folder's
# tests/e2e; without it the game draws flat out.
E2E_TOOLS=$(dirname "${GAME:-.}")/tests/e2e
PACE_LIB=$E2E_TOOLS/e2e_pace.so
[ -f "$PACE_LIB" ] || PACE_LIB=""
CLOCK_RATE=1
CLOCK_OFFSET=0
GAME_START_REAL=""

e2e_real_since_start() { awk -v a="$GAME_START_REAL" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'; }

# Sets a new rate, carrying the fake time over from the old one.
e2e_clock_rate() {
    local rate=$1 real
    real=$(e2e_real_since_start)
    CLOCK_OFFSET=$(awk -v o="$CLOCK_OFFSET" -v r="$real" -v a="$CLOCK_RATE" -v b="$rate" \
        'BEGIN { printf "%.3f", o + r * (a - b) }')
    CLOCK_RATE=$rate
    e2e_write_clock
}

e2e_write_clock() {
    local sign="+"
    case "$CLOCK_OFFSET" in -*) sign="" ;; esac
    printf '%s%s x%s\n' "$sign" "$CLOCK_OFFSET" "$CLOCK_RATE" >"$E2E_TMP/clock.$BASHPID.tmp"
    mv "$E2E_TMP/clock.$BASHPID.tmp" "$E2E_TMP/clock"
}

# Seconds of game time since the game began, as the rate file says.
e2e_game_seconds() {
    awk -v o="$CLOCK_OFFSET" -v r="$(e2e_real_since_start)" -v a="$CLOCK_RATE" \
        'BEGIN { printf "%.1f", o + r * a }'
}

# ---- the game -------------------------------------------------------------

# Starts the game, with the options in GAME_ARGS, from a folder (the repository
# root, or a copy of its assets) with its output in $E2E_TMP/<name>.out.
# Options before the folder:
#   -clock RATE   run under libfaketime, starting at RATE
#   -wave FILE    record the sound into FILE (OpenAL Soft's wave driver)
#   -pace HZ      the display's refresh: swaps wait for its ticks (default
#                 E2E_PACE_HZ, or 30); 0 draws flat out, as a --fast replay
#                 checked for its result alone should
e2e_start_game() {
    local name=$1
    shift
    local clock="" wave="" pace=${E2E_PACE_HZ:-30}
    while [ $# -gt 1 ]; do
        case $1 in
        -clock) clock=$2; shift 2 ;;
        -wave) wave=$2; shift 2 ;;
        -pace) pace=$2; shift 2 ;;
        *) break ;;
        esac
    done
    local dir=$1
    local envs=()
    if [ -n "$wave" ]; then
        printf '[general]\ndrivers=wave\nfrequency=44100\nchannels=stereo\nsample-type=int16\n[wave]\nfile=%s\n' \
            "$wave" >"$E2E_TMP/$name.alsoft.conf"
        envs+=(-u ALSOFT_DRIVERS ALSOFT_CONF="$E2E_TMP/$name.alsoft.conf")
    else
        envs+=(ALSOFT_DRIVERS=null)
    fi
    local preload=""
    if [ -n "$clock" ]; then
        CLOCK_RATE=$clock
        CLOCK_OFFSET=0
        e2e_write_clock
        preload=$FAKETIME_LIB
        envs+=(FAKETIME_TIMESTAMP_FILE="$E2E_TMP/clock" FAKETIME_CACHE_DURATION=1)
    fi
    # Xvfb has no vertical blank to pace the swaps: without one the game draws
    # flat out and takes the machine from the cases beside it.
    if [ "$pace" != 0 ] && [ -n "$PACE_LIB" ]; then
        preload="$PACE_LIB${preload:+ $preload}"
        envs+=(E2E_PACE_HZ="$pace")
    fi
    [ -n "$preload" ] && envs+=(LD_PRELOAD="$preload")
    # llvmpipe draws in the game's own thread: at a display's pace that costs a
    # quarter less of the machine than its rasterizer threads, which the cases
    # running beside it need.
    envs+=(LP_NUM_THREADS="${E2E_LP_THREADS:-0}")
    # The player's folders are the run's own: a settings file or a kept score
    # of the machine's user never changes what a test sees. A case writes
    # $E2E_TMP/config/balltoss/balltoss.conf to play with settings.
    envs+=(XDG_CONFIG_HOME="$E2E_TMP/config" XDG_DATA_HOME="$E2E_TMP/data")
    # Settings for the game alone (sanitizer options, say), NAME=VALUE each.
    envs+=(${GAME_ENV[@]+"${GAME_ENV[@]}"})
    GAME_OUT="$E2E_TMP/$name.out"
    GAME_STATUS=""
    GAME_START_REAL=$EPOCHREALTIME
    (cd "$dir" && exec env "${envs[@]}" "$GAME" ${GAME_ARGS[@]+"${GAME_ARGS[@]}"} \
        </dev/null >"$GAME_OUT" 2>&1) &
    GAME_PID=$!
}

# Waits up to $1 seconds (default 60) for the game's window; fails if the game
# ended first.
e2e_wait_window() {
    local limit=${1:-60} i
    for i in $(seq $((limit * 5))); do
        GAME_WINDOW=$(xdotool search --onlyvisible --class balltoss 2>/dev/null | head -n1)
        # Under a window manager the window may first show framed, then fill the screen.
        [ -n "$GAME_WINDOW" ] && xdotool getwindowgeometry "$GAME_WINDOW" 2>/dev/null |
            grep -q 'Position: 0,0' && return 0
        if ! kill -0 "$GAME_PID" 2>/dev/null; then
            e2e_log "    the game ended before its window showed: $(head -c 300 "$GAME_OUT")"
            return 1
        fi
        sleep 0.2
    done
    e2e_log "    no window shown after $limit s; the game is $(awk '/^State/ { print $2 $3 }' "/proc/$GAME_PID/status"), waiting in $(cat "/proc/$GAME_PID/wchan"); windows of its class: $(xdotool search --class balltoss | wc -l)"
    e2e_shot no_window
    return 1
}

# Waits up to $1 seconds for the game to end; GAME_STATUS holds its status.
e2e_wait_exit() {
    local limit=${1:-30} i
    for i in $(seq $((limit * 10))); do
        if ! kill -0 "$GAME_PID" 2>/dev/null; then
            wait "$GAME_PID"
            GAME_STATUS=$?
            GAME_PID=""
            return 0
        fi
        sleep 0.1
    done
    # What the game was doing, for the log: a hang, a lost focus, a minimised window.
    local window
    window=$(xdotool search --class balltoss 2>/dev/null | head -n1)
    e2e_log "    still running after $limit s: $(awk '/^State/ { print $2 $3 }' "/proc/$GAME_PID/status"), waiting in $(cat "/proc/$GAME_PID/wchan"); focus on $(xdotool getwindowfocus 2>/dev/null), the game's window ${window:-none} $(xprop -id "${window:-0}" WM_STATE _NET_WM_STATE 2>/dev/null | tr '\n' ' ')"
    e2e_shot not_ended
    return 1
}

# Ends a game that is still running: TERM, then KILL after three seconds.
e2e_kill_game() {
    [ -n "$GAME_PID" ] || return 0
    kill "$GAME_PID" 2>/dev/null
    local i
    for i in $(seq 30); do
        kill -0 "$GAME_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$GAME_PID" 2>/dev/null
    wait "$GAME_PID" 2>/dev/null
    GAME_PID=""
}

game_alive() { [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; }
# CPU time of the game so far, user and system, in clock ticks.
game_cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$GAME_PID/stat"; }
game_exited_zero() { [ "$GAME_STATUS" = 0 ]; }

# ---- input ----------------------------------------------------------------

# Holds a key for a number of seconds.
e2e_hold_key() {
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
}

# Looks by a number of pixels (0.001 radian each), in steps that stay on screen.
e2e_look() {
    local dx=$1 dy=$2 steps=${3:-1} i
    for i in $(seq "$steps"); do
        xdotool mousemove_relative -- $((dx / steps)) $((dy / steps))
        sleep 0.15
    done
}

# Mouse pixels that turn the view so that a point d screen pixels from the
# centre comes to the centre: 0.001 radian a pixel, and the 45-degree view
# puts the screen's 240-pixel half height at tan(22.5 degrees).
e2e_pixels_to_mouse() { awk -v d="$1" 'BEGIN { printf "%d", 1000 * atan2(d, 240 / 0.41421356) }'; }

# ---- pictures -------------------------------------------------------------

E2E_SHOT=$E2E_TOOLS/e2e_shot
[ -x "$E2E_SHOT" ] || E2E_SHOT=""
e2e_shot() {
    if [ -n "$E2E_SHOT" ]; then
        "$E2E_SHOT" "$E2E_TMP/$1.png"
    else
        import -window root "$E2E_TMP/$1.png"
    fi
}

# The game's window alone, its client area without the frame.
e2e_window_shot() {
    import -window "$GAME_WINDOW" "$E2E_TMP/$1.png"
}

# ---- the picture on a screen or window of another size ----------------------

# The bounds of what is not black in a shot, "x y width height": the game's
# picture between the black bars. (A black frame round the shot first, so
# that a picture without bars is not trimmed by the colour of its corner.)
lit_box() {
    convert "$E2E_TMP/$1.png" -bordercolor black -border 1 -fuzz 2% -trim \
        -format '%X %Y %w %h' info: 2>/dev/null | tr -d '+' | awk '{ print $1 - 1, $2 - 1, $3, $4 }'
}

# The picture in a shot is 4:3 within a pixel, centred within a pixel, and
# reaches two opposite edges of the shot.
picture_fits() {
    local size box
    size=$(identify -format '%w %h' "$E2E_TMP/$1.png")
    box=$(lit_box "$1")
    e2e_log "    $1: ${size/ /x}, the picture at $box"
    [ -n "$box" ] && awk -v s="$size" -v b="$box" 'BEGIN { split(s, f); split(b, p)
        W = f[1]; H = f[2]; x = p[1]; y = p[2]; w = p[3]; h = p[4]
        shape = w * 3 - h * 4; if (shape < 0) shape = -shape
        across = x - (W - x - w); if (across < 0) across = -across
        down = y - (H - y - h); if (down < 0) down = -down
        edges = (x == 0 && w == W) || (y == 0 && h == H)
        exit !(shape <= 4 && across <= 1 && down <= 1 && edges) }'
}

# The picture of shot $1, cut from its bars and taken back to 640x480, as shot
# $2: every check made on a 640x480 screen reads it. Where nothing is lit (the
# closing screen's corners) the box comes from shot $3.
e2e_unscale() {
    local box x y w h
    box=$(lit_box "${3:-$1}")
    read -r x y w h <<<"$box"
    convert "$E2E_TMP/$1.png" -crop "${w}x${h}+${x}+${y}" +repage -filter triangle \
        -resize '640x480!' "$E2E_TMP/$2.png"
}

# Number of pixels in a region (WxH+X+Y, rows from the top) of a shot that
# satisfy a condition on r, g, b (0 to 1), written as for ImageMagick's -fx
# (pixels.cpp reads it a hundred times faster than ImageMagick).
E2E_PIXELS=$E2E_TOOLS/e2e_pixels
[ -x "$E2E_PIXELS" ] || E2E_PIXELS=""
e2e_count() {
    if [ -n "$E2E_PIXELS" ]; then
        "$E2E_PIXELS" count "$E2E_TMP/$1.png" "$2" "$3"
    else
        convert "$E2E_TMP/$1.png" -crop "$2" +repage -fx "$3" \
            -format '%[fx:round(mean*w*h)]' info:
    fi
}

# Number of pixels in a region that differ between two shots by more than 10%.
e2e_diff() {
    convert \( "$E2E_TMP/$1.png" -crop "$3" +repage \) \( "$E2E_TMP/$2.png" -crop "$3" +repage \) \
        -compose difference -composite -colorspace gray -threshold 10% \
        -format '%[fx:round(mean*w*h)]' info:
}

YELLOW='min(r,g)-b>0.4'

# The glyphs of the game's font sheet as the game draws them, made once: each
# 16-pixel cell taken down to the 8 pixels it is drawn at, a little blurred
# (the driver blends in the next smaller level; a blur of 0.5 reads both plain
# and anisotropic filtering, 0.7 takes plain 0s for Os); a 128x128 sheet of
# 8-pixel cells, bottom row of the image first.
e2e_font_shapes() {
    [ -s "$E2E_TMP/font.gray" ] || convert "$ROOT/Textures/Text.tga" -flip -alpha extract \
        -filter box -resize 128x128 -blur 0x0.5 -depth 8 gray:"$E2E_TMP/font.gray"
}

# The text of n cells from a shot, the first cell's top-left corner at x y
# (rows from the top): each 8-pixel cell of the shot's yellowness read as the
# glyph of the alphabet (all printable ones unless given) whose shape it
# follows best (normalised correlation, shifted by up to a pixel); a cell
# without ink reads as a space.
e2e_read_text() {
    local shot=$1 x=$2 y=$3 n=$4 alphabet=${5:-}
    e2e_font_shapes
    awk -v n="$n" -v alphabet="$alphabet" '
        FNR == 1 { file++ }
        file == 1 { for (i = 1; i <= NF; i++) font[f++] = $i; next }
        { for (i = 1; i <= NF; i++) ink[s++] = $i }
        # Correlation of glyph c with the 8x8 window at column x0, row y0 of the strip.
        function likeness(c, x0, y0,    w, j, a, b, sa, sb, saa, sbb, sab, va, vb) {
            w = n * 8 + 2; sa = sb = saa = sbb = sab = 0
            for (j = 0; j < 64; j++) {
                a = font[(int(c / 16) * 8 + int(j / 8)) * 128 + c % 16 * 8 + j % 8]
                b = ink[(int(j / 8) + y0) * w + x0 + j % 8]
                sa += a; sb += b; saa += a * a; sbb += b * b; sab += a * b
            }
            va = saa - sa * sa / 64; vb = sbb - sb * sb / 64
            return va > 0 && vb > 0 ? (sab - sa * sb / 64) / sqrt(va * vb) : -1
        }
        END {
            for (k = 0; k < n; k++) {
                peak = 0
                for (j = 0; j < 64; j++) {
                    v = ink[(int(j / 8) + 1) * (n * 8 + 2) + k * 8 + 1 + j % 8]
                    if (v > peak) peak = v
                }
                glyph = " "; best = -2
                for (c = 33; c < 127 && peak >= 60; c++) {
                    if (alphabet != "" && !index(alphabet, sprintf("%c", c))) continue
                    for (y0 = 0; y0 <= 2; y0++)
                        for (x0 = 0; x0 <= 2; x0++)
                            if ((l = likeness(c, k * 8 + x0, y0)) > best) { best = l; glyph = sprintf("%c", c) }
                }
                printf "%s", glyph
            }
        }' <(od -An -v -tu1 "$E2E_TMP/font.gray") \
           <(convert "$E2E_TMP/$shot.png" -bordercolor black -border 1 \
                 -crop "$((n * 8 + 2))x10+$x+$y" +repage -fx 'max(0,min(r,g)-b)' \
                 -depth 8 gray:- | od -An -v -tu1)
}

# A shot shows this text with its first glyph at x y.
text_reads() {
    local got
    got=$(e2e_read_text "$1" "$2" "$3" "${#4}")
    [ "$got" = "$4" ] || { e2e_log "    at $2,$3 reads \"$got\", not \"$4\""; return 1; }
}

# The balls in a shot: the middle of each black ball (the deepest points of
# the dark parts, so that touching balls stay apart), below the HUD text and
# right of the power meter. One "x y" line each, nearest the centre first.
e2e_balls() {
    convert "$E2E_TMP/$1.png" -crop 560x440+80+20 +repage -channel RGB -separate \
        -evaluate-sequence max -threshold 8% -negate -morphology Distance Euclidean:4 \
        -auto-level -threshold 85% -define connected-components:verbose=true \
        -define connected-components:area-threshold=4 -connected-components 8 null: |
        awk '/\(255\)/ { split($3, c, ","); x = c[1] + 80; y = c[2] + 20;
                         printf "%d %d %d\n", (x-320)^2 + (y-240)^2, x, y }' |
        sort -n | cut -d' ' -f2-
}
BLUE='b>0.6 && r<0.35 && g<0.35'     # the power bar
NAVY='b>0.1 && b>3*(r+g)'            # the star panel, dark under the machine's hood

# The star panel at the table's far end, a landmark that tells where the
# player stands and looks: "x y width" of its box on the screen.
panel_box() {
    if [ -n "$E2E_PIXELS" ]; then
        "$E2E_PIXELS" box "$E2E_TMP/$1.png" 560x240+80+0 "$NAVY"
    else
        convert "$E2E_TMP/$1.png" -crop 560x240+80+0 +repage -fx "$NAVY" -trim \
            -format '%X %Y %w' info: 2>/dev/null | tr -d '+'
    fi | awk '$3 > 20 { print $1 + 80, $2, $3 }'
}

# The scene is drawn: the panel shows, and most of the screen below the HUD is lit.
scene_shown() {
    [ -n "$(panel_box "$1")" ] && [ "$(e2e_count "$1" $SCENE 'r+g+b>0.03')" -ge 100000 ]
}

# The first frames come once the game has loaded: up to 15 s for the scene.
scene_appears() {
    local i
    for i in $(seq 30); do
        e2e_shot "$1"
        scene_shown "$1" && return 0
        sleep 0.5
    done
    return 1
}

# Two shots show the panel in the same place, within a pixel.
same_view() {
    local a b
    a=$(panel_box "$1")
    b=$(panel_box "$2")
    e2e_log "    panel in $1: $a; in $2: $b"
    [ -n "$a" ] && [ -n "$b" ] && awk -v a="$a" -v b="$b" 'BEGIN { split(a, p); split(b, q)
        for (i = 1; i <= 3; i++) if (p[i] - q[i] > 1 || q[i] - p[i] > 1) exit 1 }'
}
# The first round's hint, centred, its glyphs' top row 48 pixels above the bottom.
HINT="Look down for the balls: right button grabs, left throws"
HINT_X=$((320 - 4 * ${#HINT}))
HINT_Y=432
# Its glyphs read where they belong; between the words the scene shows through,
# and light wood reads as ink there, so the spaces are not read.
hint_shown() {
    local got
    got=$(e2e_read_text "$1" $HINT_X $HINT_Y "${#HINT}")
    awk -v got="$got" -v want="$HINT" 'BEGIN { for (i = 1; i <= length(want); i++)
        if (substr(want, i, 1) != " " && substr(want, i, 1) != substr(got, i, 1)) exit 1 }' && return 0
    e2e_log "    at $HINT_X,$HINT_Y reads \"$got\""
    return 1
}
hint_gone() { [ "$(e2e_count "$1" $((8 * ${#HINT}))x8+$HINT_X+$HINT_Y "$YELLOW")" -le 5 ]; }

# Regions, rows counted from the top of the 640x480 screen.
TIME_LINE=200x8+0+8
CROSSHAIR=24x24+308+228
POWER_BAR=56x200+4+270       # inside the meter's frame, above its bottom
MIDDLE_ROWS=640x80+0+200     # the closing screen's four lines
SCENE=640x440+0+20           # below the HUD text

# Compares a number: at_least N value / at_most N value / equals N value.
at_least() { [ "$2" -ge "$1" ]; }
at_most() { [ "$2" -le "$1" ]; }
equals() { [ "$2" -eq "$1" ]; }

# ---- sound ----------------------------------------------------------------

# Loud stretches of a recording: one line per stretch, "start end peak" in
# seconds of recording, from the e2e_wavscan helper.
e2e_loud_spans() {
    "$WAVSCAN" "$1" 0.05
}
