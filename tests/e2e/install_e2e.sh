#!/usr/bin/env bash
# install_e2e.sh -- the game as a user gets it: installed with cmake --install into
# a fresh prefix and started from / in a window under a window manager (its data
# found, the table and HUD drawn, nothing on the console, Esc ends with 0); then the
# .deb that cpack builds: its dependencies, and the game unpacked from it finding
# its data. Usage: install_e2e.sh BUILD_DIR (built, with the game in it).
set -u
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/../.."
E2E_TMP=$(mktemp -d /tmp/balltoss-install.XXXXXX)
source tests/e2e/lib.sh
trap e2e_cleanup EXIT
GAME_ARGS=(--window)

# Starts an installed game from / and waits for its window, framed by openbox.
play() {
    GAME=$2
    e2e_start_game "$1" /
    local i
    for i in $(seq 300); do
        GAME_WINDOW=$(xdotool search --onlyvisible --class balltoss 2>/dev/null | head -n1)
        [ -n "$GAME_WINDOW" ] || ! game_alive && break
        sleep 0.2
    done
    [ -n "$GAME_WINDOW" ] && sleep 3
}
# Esc in the focused window ends the game with status 0.
quits() {
    xdotool windowactivate --sync "$GAME_WINDOW" key Escape >/dev/null 2>&1
    e2e_wait_exit 10 && game_exited_zero
}
console_empty() { [ ! -s "$GAME_OUT" ]; }

# A desktop where the window is a window.
e2e_start_display 1024x768x24 && e2e_start_wm || exit 1

e2e_log "install: cmake --install into a fresh prefix, the game started from /"
e2e_check "cmake --install" cmake --install "$build" --prefix "$E2E_TMP/prefix" >"$E2E_TMP/install.log"
play installed "$E2E_TMP/prefix/bin/balltoss"
e2e_check "a window opens" test -n "$GAME_WINDOW"
import -window "$GAME_WINDOW" "$E2E_TMP/installed.png"
e2e_check "640x480 window" test "$(identify -format %wx%h "$E2E_TMP/installed.png")" = 640x480
# Glyphs, not the solid yellow cells that text without its font texture leaves.
hud=$(e2e_count installed 200x16+0+0 "$YELLOW")
e2e_check "HUD text drawn ($hud yellow pixels)" test "$hud" -ge 100 -a "$hud" -le 1000
colours=$(convert "$E2E_TMP/installed.png" -crop $SCENE +repage -format '%k' info:)
e2e_check "textured table drawn ($colours colours)" test "$colours" -ge 5000
e2e_check "console empty" console_empty
e2e_check "Esc ends with status 0" quits
"$E2E_TMP/prefix/bin/balltoss" --help >"$E2E_TMP/help.out"
e2e_check "--help prints the usage, status 0" \
    test $? -eq 0 -a "$(head -n1 "$E2E_TMP/help.out")" = "Usage: balltoss [OPTION]..."
"$E2E_TMP/prefix/bin/balltoss" --bogus >/dev/null 2>"$E2E_TMP/bogus.out"
e2e_check "an unknown option: its line, status 2" \
    test $? -eq 2 -a "$(head -n1 "$E2E_TMP/bogus.out")" = "balltoss: unknown option --bogus"

e2e_log "deb: cpack, its dependencies, the game unpacked from it"
cpack -G DEB -B "$E2E_TMP/pack" --config "$build/CPackConfig.cmake" >"$E2E_TMP/cpack.log" 2>&1
deb=$(ls "$E2E_TMP"/pack/balltoss_*.deb 2>/dev/null | head -n1)
e2e_check "cpack builds the .deb" test -n "$deb"
depends=$(dpkg-deb -I "$deb" 2>/dev/null | grep "^ Depends:")
for package in libglfw3 libopenal1 libalut0 libbullet3.24 libglu1-mesa; do
    e2e_check "depends on $package" grep -qw -- "$package" <<<"$depends"
done
dpkg-deb -x "$deb" "$E2E_TMP/unpacked"
play unpacked "$E2E_TMP/unpacked/usr/bin/balltoss"
e2e_check "unpacked: a window opens" test -n "$GAME_WINDOW"
e2e_check "unpacked: data found, console empty" console_empty
e2e_check "unpacked: Esc ends with status 0" quits
e2e_log "install e2e: $E2E_PASSES passed, $E2E_FAILS failed"
[ "$E2E_FAILS" -eq 0 ]
