#!/usr/bin/env bash
# Runs every fuzz target for a fixed number of runs.
set -euo pipefail
dir=$1 runs=$2
for target in "$dir"/*_fuzz; do
  [ -x "$target" ] || continue
  corpus="$dir/corpus-$(basename "$target")"
  mkdir -p "$corpus"
  echo "fuzz: $(basename "$target") for $runs runs"
  "$target" -runs="$runs" -seed=1 -max_len=40000 "$corpus" 2>&1 | tail -n 3
done
