#!/usr/bin/env bash
# install_e2e.sh -- the game as a user gets it: installed with cmake --install into
# a fresh prefix and started from / in a window under a window manager (its data
# found, the table and HUD drawn, nothing on the console, Esc ends with 0); then the
# .deb that cpack builds: its dependencies, and the game unpacked from it finding
# its data. Usage: install_e2e.sh BUILD_DIR (built, with the game in it).
set -uo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d /tmp/balltoss-install.XXXXXX)
fails=0
check() {
    local name=$1
    shift
    if "$@"; then echo "  ok   $name"; else echo "  FAIL $name"; fails=$((fails + 1)); fi
}

# A private screen with openbox on it: a desktop where the window is a window.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" \
    >"$tmp/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$tmp/display")"
unset XAUTHORITY
openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
trap 'kill $wm $xvfb 2>/dev/null; [ $fails -eq 0 ] && rm -rf "$tmp" || echo "kept $tmp"' EXIT

# Starts a game from /, waits for its window and keeps its console in $tmp/$1.out.
play() {
    (cd / && exec env ALSOFT_DRIVERS=null "$2" --window </dev/null >"$tmp/$1.out" 2>&1) &
    game=$!
    window=""
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --class GLFW-Application 2>/dev/null | head -n1)
        [ -n "$window" ] || ! kill -0 $game 2>/dev/null && break
        sleep 0.2
    done
    [ -n "$window" ] && sleep 3
}
# Esc in the focused window; the game's exit status, or 124 when it runs on.
quit() {
    xdotool windowactivate --sync "$window" key Escape >/dev/null 2>&1
    for _ in $(seq 100); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
    kill -0 $game 2>/dev/null && { kill -KILL $game; wait $game; return 124; }
    wait $game
}
# Pixels of the window's picture in a region that satisfy an -fx condition.
count() { convert "$tmp/$1.png" -crop "$2" +repage -fx "$3" -format '%[fx:round(mean*w*h)]' info:; }
colours() { convert "$tmp/$1.png" -crop "$2" +repage -format '%k' info:; }

echo "install: cmake --install into a fresh prefix, the game started from /"
cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" || fails=$((fails + 1))
play installed "$tmp/prefix/bin/balltoss"
check "a window opens" test -n "$window"
import -window "$window" "$tmp/installed.png"
check "640x480 window" test "$(identify -format %wx%h "$tmp/installed.png")" = 640x480
# Glyphs, not the solid yellow cells that text without its font texture leaves.
hud=$(count installed 200x16+0+0 'min(r,g)-b>0.4')
check "HUD text drawn ($hud yellow pixels)" test "$hud" -ge 100 -a "$hud" -le 1000
colours=$(colours installed 640x440+0+20)
check "textured table drawn ($colours colours)" test "$colours" -ge 5000
check "console empty" test ! -s "$tmp/installed.out"
quit
check "Esc ends with status 0" test $? -eq 0
"$tmp/prefix/bin/balltoss" --help >"$tmp/help.out"
check "--help prints the usage, status 0" test $? -eq 0 -a "$(head -n1 "$tmp/help.out")" = "Usage: balltoss [OPTION]..."
"$tmp/prefix/bin/balltoss" --bogus >/dev/null 2>"$tmp/bogus.out"
check "an unknown option: its line, status 2" test $? -eq 2 -a "$(head -n1 "$tmp/bogus.out")" = "balltoss: unknown option --bogus"

echo "deb: cpack, its dependencies, the game unpacked from it"
cpack -G DEB -B "$tmp/pack" --config "$build/CPackConfig.cmake" >"$tmp/cpack.log" 2>&1
deb=$(ls "$tmp"/pack/balltoss_*.deb 2>/dev/null | head -n1)
check "cpack builds the .deb" test -n "$deb"
depends=$(dpkg-deb -I "$deb" 2>/dev/null | grep "^ Depends:")
for package in libglfw3 libopenal1 libalut0 libbullet3.24 libglu1-mesa; do
    check "depends on $package" grep -qw -- "$package" <<<"$depends"
done
dpkg-deb -x "$deb" "$tmp/unpacked"
play unpacked "$tmp/unpacked/usr/bin/balltoss"
check "unpacked: a window opens" test -n "$window"
check "unpacked: data found, console empty" test ! -s "$tmp/unpacked.out"
quit
check "unpacked: Esc ends with status 0" test $? -eq 0
[ $fails -eq 0 ] || { head -n5 "$tmp"/*.out; echo "$fails failed"; }
exit $((fails > 0))
