#!/usr/bin/env bash
# Runs every fuzz target for a fixed number of runs. A target with a seed
# tool beside it (NAME_seeds) starts from the seeds that tool writes.
set -euo pipefail
dir=$1 runs=$2
for target in "$dir"/*_fuzz; do
  [ -f "$target" ] && [ -x "$target" ] || continue  # not the corpus-NAME folders
  corpus="$dir/corpus-$(basename "$target")"
  mkdir -p "$corpus"
  [ ! -x "${target}_seeds" ] || "${target}_seeds" "$corpus"
  echo "fuzz: $(basename "$target") for $runs runs"
  "$target" -runs="$runs" -seed=1 -max_len=40000 "$corpus" 2>&1 | tail -n 3
done
