#!/usr/bin/env bash
# Sets up, builds, and streams the demo job into the simulated controller in real time
# through the whole program, showing its progress and outcome. Extra arguments go to
# `wendlar-cli run` (for example --fast, or examples/demo.vrj in place of the G-code demo).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build
job=examples/demo.nc
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  job=$1
  shift
fi
home=build/demo-home
mkdir -p "$home"
exec build/src/app/wendlar-cli --home "$home" run "$job" --simulator "$@"
