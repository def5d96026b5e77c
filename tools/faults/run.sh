#!/usr/bin/env bash
# Plants each fault (or the ones named), builds editor_tests, runs the pick
# model referee against it and reverts; prints CAUGHT (a seed and the
# failure's first words) or MISSED per fault.
#
# The unmodified code fails a few seeds too (some always, some by timing),
# so each run goes through every sequence and collects the seeds that failed
# on their first try and on their replay. A fault is caught by such a seed
# that the unmodified code's run did not fail and that, run alone on a fresh
# instance, the unmodified code passes and the fault fails.
# Usage: tools/faults/run.sh [NN-name.patch ...]   (SEQUENCES=2000 by default)
set -u
cd "$(dirname "$0")/../.."
here=tools/faults
build=${BUILD:-build/asan}
sequences=${SEQUENCES:-2000}
logs=${LOGS:-$build/faults}
mkdir -p "$logs"

referee() {  # log [seed [binary]]
  env ASAN_OPTIONS=detect_leaks=0 TARNIVEX_PICK_SEQUENCES="$sequences" TARNIVEX_PICK_FAILURES=100000 ${2:+TARNIVEX_PICK_SEED=$2} \
    "${3:-$build/tests/editor/editor_tests}" --gtest_filter='PickModelTest.*' >"$1" 2>&1
}
build() { nice cmake --build "$build" -j 3 --target editor_tests >"$1" 2>&1; }
failedTwice() {
  comm -23 <(grep -oE '^seed [0-9]+ failed on its first try' "$1" | cut -d' ' -f2 | sort -u) \
    <(grep -oE '^seed [0-9]+ passed on its replay' "$1" | cut -d' ' -f2 | sort -u) | sort -n
}
firstWords() {
  awk '/: Failure$/ {on = 1; next}
    on && !/^(Failed|Expected|Value of|  Actual|Expected:|Which is|Google Test trace| )/ && NF {print; exit}' "$1" | cut -c1-80
}

if [ ! -s "$logs/baseline.seeds" ]; then
  build "$logs/baseline.build" && cp "$build/tests/editor/editor_tests" "$logs/unmodified" && referee "$logs/baseline.log"
  failedTwice "$logs/baseline.log" >"$logs/baseline.seeds"
  echo "unmodified: seeds failed twice: $(tr '\n' ' ' <"$logs/baseline.seeds")" >&2
fi

if [ $# -gt 0 ]; then patches=("$@"); else patches=("$here"/*.patch); fi
results=()
for p in "${patches[@]}"; do
  [ -f "$p" ] || p="$here/$p"
  name=$(basename "$p" .patch)
  if ! git apply "$p"; then results+=("$name|NOT APPLIED"); continue; fi
  if ! build "$logs/$name.build"; then
    git apply -R "$p"
    results+=("$name|BUILD FAILED")
    continue
  fi
  referee "$logs/$name.log"
  seeds=$(comm -23 <(failedTwice "$logs/$name.log" | sort) <(sort "$logs/baseline.seeds") | sort -n)
  result="MISSED ($(failedTwice "$logs/$name.log" | wc -l) seeds failed twice, none of them the fault's)"
  for seed in $(echo "$seeds" | head -4); do
    # The unmodified code must pass it alone, twice; the fault must fail it alone.
    referee "$logs/$name.$seed.base.log" "$seed" "$logs/unmodified" &&
      referee "$logs/$name.$seed.base.log" "$seed" "$logs/unmodified" || continue
    if ! referee "$logs/$name.$seed.log" "$seed"; then
      result="CAUGHT seed $seed: $(firstWords "$logs/$name.$seed.log") [$(echo $seeds | wc -w) new seeds]"
      break
    fi
  done
  git apply -R "$p"
  results+=("$name|$result")
  echo "$name: $result" >&2
done
printf '\n%-42s %s\n' fault result
for r in "${results[@]}"; do printf '%-42s %s\n' "${r%%|*}" "${r#*|}"; done
