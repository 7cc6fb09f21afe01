#!/usr/bin/env bash
# Fuzzes every reader of the kit: builds the "fuzz" preset (clang, libFuzzer,
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs each target in
# build/fuzz/fuzz/ for SECONDS_PER_TARGET seconds (default 60), one after the
# other on one worker, starting from its seed corpus in fuzz/corpus/<target>/
# (whose "crash-" files are inputs that once crashed: every run replays them).
#
# New corpus entries go to build/fuzz/run/<target>/corpus, so the repository
# stays as it is; a crash, leak, timeout or sanitizer report stops the script
# with exit code 1 and leaves its input in build/fuzz/run/<target>/. To replay
# an input: build/fuzz/fuzz/fuzz_<target> /absolute/path/to/input (the targets
# change into a scratch folder before they read their arguments).
#
# Usage: tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]" >&2
  exit 2
fi

echo "=== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

scratch=
trap 'if [ -n "$scratch" ]; then rm -rf "$scratch"; fi' EXIT

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in build/fuzz/fuzz/fuzz_*; do
    [ -x "$exe" ] && targets+=("${exe##*/fuzz_}")
  done
fi

passed=0
for target in "${targets[@]}"; do
  exe=build/fuzz/fuzz/fuzz_$target
  if [ ! -x "$exe" ]; then
    echo "fuzz: no target '$target' (built: $(cd build/fuzz/fuzz && echo fuzz_* | sed 's/fuzz_//g'))" >&2
    exit 2
  fi
  run=$PWD/build/fuzz/run/$target  # absolute: the targets work in a scratch folder
  rm -rf "$run"
  mkdir -p "$run/corpus"
  # The targets write their files anew for every input: a memory file system
  # where there is one, it is twice as fast as the disk.
  scratch=$run/tmp
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch=$(mktemp -d /dev/shm/skinkit-fuzz.XXXXXX); fi
  mkdir -p "$scratch"
  echo "=== fuzz: $target for $seconds s"
  # Inputs are kept small: the readers' paths do not grow with size, and
  # small inputs run fast. One job, one worker: the machine is shared.
  if TMPDIR="$scratch" "$exe" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
      -print_final_stats=1 -artifact_prefix="$run/" \
      "$run/corpus" "$PWD/fuzz/corpus/$target" >"$run/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log")
    echo "fuzz $target: $runs runs in $seconds s, no finding"
  else
    tail -n 60 "$run/log"
    echo "fuzz $target: FINDING, see ${run#$PWD/}/log and the input in ${run#$PWD/}/" >&2
    echo "fuzz: $passed passed, 1 failed"
    exit 1
  fi
  rm -rf "$scratch"
  scratch=
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
