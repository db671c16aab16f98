#!/usr/bin/env bash
# Runs every benchmark program of a build (bench_* below <build>/bench) one after the other, so that no
# two compete for the processor, and keeps each one's output in <build>/bench-results/<name>.txt.
# Figures are meant to be read as ratios against the baselines each program measures in the same run.
# Programs that measure the photo corpus find it in MARQUELO_CORPUS_DIR (else the folder the build was
# configured with, else ../shared/corpus beside the checkout); without it they say they skipped and exit 0.
set -uo pipefail
build="${1:-build}"
results="$build/bench-results"
mkdir -p "$results"
status=0
mapfile -t programs < <(find "$build/bench" -type f -name 'bench_*' -perm -u+x | sort)
if [ "${#programs[@]}" -eq 0 ]; then
  echo "no benchmark programs under $build/bench (configure with -DMARQUELO_BENCH=ON)" >&2
  exit 1
fi
for program in "${programs[@]}"; do
  name="$(basename "$program")"
  echo "=== $name"
  if ! "$program" 2>&1 | tee "$results/$name.txt"; then
    echo "!!! $name failed" >&2
    status=1
  fi
done
echo "results in $results"
exit "$status"
