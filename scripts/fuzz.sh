#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) and runs
# each for a given time. A crash, a time-out or a sanitizer report makes it fail.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      (default: 20 s each, every target)
# FUZZ_UNIT_TIMEOUT sets the seconds one input may take (default 2).
# Inputs that found something are kept in build-fuzz/artifacts; what each run learnt stays in
# build-fuzz/corpus, so a later run starts where the last one stopped.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
shift || true
scripts/setup.sh
build=build-fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWENDLAR_FUZZ=ON \
  -DWENDLAR_CORE_ONLY=ON -DCMAKE_CXX_FLAGS="$flags" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//'))
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# Seeds: small hand-written cases per target, the examples, and the shared G-code corpus when
# present (read where it lies, never copied).
seeds_for() {
  local dirs=("fuzz/seeds/${1#fuzz_}")
  case "$1" in
    fuzz_gcode_check) dirs+=(examples/gcode); [ -d ../shared/corpus/gcode ] && dirs+=(../shared/corpus/gcode) ;;
    fuzz_spool_check) dirs+=(examples/spool) ;;
  esac
  for d in "${dirs[@]}"; do [ -d "$d" ] && echo "$d"; done
  return 0
}

mkdir -p "$build/artifacts" "$build/examples/gcode" "$build/examples/spool"
cp examples/*.nc "$build/examples/gcode/" 2>/dev/null || true
cp examples/*.vrj "$build/examples/spool/" 2>/dev/null || true
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  seeds=($(seeds_for "$t" | sed "s|^examples/|$build/examples/|"))
  echo "== $t: ${seconds} s"
  # The outer time limit is a backstop: libFuzzer's own time-out report has been seen to hang.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      timeout -k 10 "$((seconds + 120))" "$build/fuzz/$t" -max_total_time="$seconds" -timeout="${FUZZ_UNIT_TIMEOUT:-2}" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "${seeds[@]}" >"$build/$t.log" 2>&1; then
    failed+=("$t")
    tail -n 60 "$build/$t.log"
  fi
  grep -E "^stat::(number_of_executed_units|average_exec_per_sec)|^Done" "$build/$t.log" | tr '\n' ' '
  echo
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in ${failed[*]} (inputs in $build/artifacts)" >&2
  exit 1
fi
