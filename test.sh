#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Xvfb with
# OpenAL Soft's null driver (no screen or sound card needed).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh --test
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Release -DBALLTOSS_WERROR=$werror >/dev/null
cmake --build build-test -j"$(nproc)"
export ALSOFT_DRIVERS=null
# Nothing a test plays is kept in the player's own folders.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
# Three at a time: the end-to-end cases spend most of their time waiting on the
# game's clock, and their game draws at a 30 Hz display's pace (tests/e2e/pace.cpp),
# so two cores carry three. Arguments go to ctest (-R e2e_play_walk, -j1).
xvfb-run -a -s "-screen 0 640x480x24 -noreset" \
  ctest --test-dir build-test --output-on-failure -j3 "$@"
