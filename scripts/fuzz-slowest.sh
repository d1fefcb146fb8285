#!/usr/bin/env bash
# Times every saved input of each fuzz target in an optimised build without sanitizers and
# prints the slowest; fails when one input takes longer than the limit (100 ms).
#   scripts/fuzz-slowest.sh [TARGET...]
# Inputs held to the limit: the corpus a fuzz run left (CORPUS_ROOT/<target>, default
# build-fuzz/corpus), the target's seeds and the examples. The real programs of
# ../shared/corpus/gcode, when present, are timed and listed for scale only: a long real job
# takes as long as its work, and refusing it would refuse the operator's job.
# LIMIT_MS and TOP change the limit and the number of inputs listed. BUILD names another build
# folder without sanitizers to use as it is configured (e.g. build, RelWithDebInfo); the
# default build-replay is a Release build of the core made for this.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus_root="${CORPUS_ROOT:-build-fuzz/corpus}"
limit="${LIMIT_MS:-100}"
top="${TOP:-5}"
build="${BUILD:-build-replay}"
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DWENDLAR_FUZZ=ON >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWENDLAR_FUZZ=ON -DWENDLAR_CORE_ONLY=ON >/dev/null
fi
if grep -q -- "^CMAKE_CXX_FLAGS:STRING=.*-fsanitize" "$build/CMakeCache.txt"; then
  echo "fuzz-slowest: $build is a sanitizer build; its times say nothing about the release build" >&2
  exit 2
fi
echo "Build folder $build, $(grep '^CMAKE_BUILD_TYPE:' "$build/CMakeCache.txt" | cut -d= -f2)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//'))
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/%/_replay}"

inputs_for() {
  local dirs=("$corpus_root/$1" "fuzz/seeds/${1#fuzz_}")
  case "$1" in
    fuzz_gcode_check) dirs+=(examples/demo.nc) ;;
    fuzz_spool_check) dirs+=(examples/demo.vrj) ;;
  esac
  for d in "${dirs[@]}"; do [ -e "$d" ] && echo "$d"; done
  return 0
}

failed=()
for t in "${targets[@]}"; do
  echo "== $t"
  if ! "$build/fuzz/${t}_replay" --limit-ms "$limit" --top "$top" $(inputs_for "$t"); then
    failed+=("$t")
  fi
  if [ "$t" = fuzz_gcode_check ] && [ -d ../shared/corpus/gcode ]; then
    echo "-- real programs, for scale"
    "$build/fuzz/${t}_replay" --limit-ms "$limit" --top "$top" --report-only ../shared/corpus/gcode
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz-slowest: inputs over ${limit} ms in ${failed[*]}" >&2
  exit 1
fi
