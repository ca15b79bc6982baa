#!/usr/bin/env bash
# Installs what is missing, builds the game in Release and starts it from the
# repository root, where it finds Textures/, Models/ and Sound/.
set -euo pipefail
cd "$(dirname "$0")"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "play.sh: no display found (DISPLAY is not set); the game needs a screen." >&2
  exit 1
fi
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBALLTOSS_TESTS=OFF -DBALLTOSS_BENCH=OFF >/dev/null
cmake --build build --target balltoss -j"$(nproc)"
exec ./build/balltoss
