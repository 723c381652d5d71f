#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each in turn, starting from its
# seed corpus in fuzz/corpus/TARGET, copied into a working corpus under the build folder
# (which keeps what the runs add). Prints one line per target: its name, the inputs it ran
# and the result. Fails when any target found a crash, a sanitizer report, a leak or a
# hang; the input that did it and the whole report stay under the build folder.
# Usage: fuzz.sh [SECONDS_EACH]   (default 60; VRK_FUZZ_BUILD_DIR: another build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${VRK_FUZZ_BUILD_DIR:-build/fuzz}"

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)"

# A recoverable sanitizer report must end the run too, with its stack.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=()
for target in "$build"/fuzz/fuzz_*; do
  [[ -f "$target" && -x "$target" ]] || continue
  name="$(basename "$target")"
  corpus="$build/corpus/$name"
  artifacts="$build/artifacts/$name"
  log="$build/logs/$name.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  if [[ -d "fuzz/corpus/$name" ]]; then cp -n "fuzz/corpus/$name"/* "$corpus"/; fi

  status=0
  # An input that runs 10 s counts as a hang; the outer bound catches a fuzzer that never ends.
  timeout --kill-after=10 $((seconds + 60)) "$target" "$corpus" -max_total_time="$seconds" \
    -max_len=4096 -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    >"$log" 2>&1 || status=$?

  runs="$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)"
  if ((status == 0)) && ! grep -qE '^==[0-9]+==ERROR|runtime error:|^SUMMARY: ' "$log"; then
    result="ok"
  else
    what="$(grep -m1 -oE '^SUMMARY: .*|ERROR: libFuzzer: .*' "$log" || true)"
    what="${what%.}"
    ((status == 124 || status == 137)) && what="no end within $((seconds + 60)) s"
    result="FAILED (${what:-exit status $status}; log $log)"
    failed+=("$log")
  fi
  printf '%-28s %12s runs  %s\n' "$name" "${runs:-?}" "$result"
done

for log in "${failed[@]}"; do
  echo "== $log =="
  tail -n 80 "$log"
done
((${#failed[@]} == 0))
