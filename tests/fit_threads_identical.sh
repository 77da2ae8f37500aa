#!/usr/bin/env bash
# Fit prints the same, byte for byte, whether its tries run on one thread or
# on several: two y variables, more tries than threads, without and with
# RandomError. Only the lines that name Threads may differ.
# Usage: fit_threads_identical.sh <dorve> <folder holding design.mat and branin.mat>
set -u
dorve=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$data/design.mat" "$work/"
# A second response beside Branin: its square root plus a trend in the case.
awk 'NR == 5 { print " Case      Branin        Root"; next }
     NF == 2 && $1 ~ /^[0-9]+$/ { printf "%5d %11.5f %11.5f\n", $1, $2, sqrt($2) + $1 / 10; next }
     { print }' "$data/branin.mat" > "$work/two.mat"
cd "$work" || exit 2

status=0
for random_error in FALSE TRUE; do
  for threads in 1 4; do
    printf 'RandomError = %s\nTries = 6\nThreads = %d\nX < design.mat\ny < two.mat\nFit\nQuit\n' \
      "$random_error" "$threads" > commands
    "$dorve" commands > "out.$threads" 2> "err.$threads"
    echo "exit $?" >> "err.$threads"
    grep -v Threads "out.$threads" > "kept.$threads"
  done
  if ! grep -q "Fitting Root" kept.1 || ! grep -q "MLE-Try  6" kept.1; then
    echo "RandomError = $random_error: the fit of both y variables did not run"
    status=1
  fi
  if ! cmp -s kept.1 kept.4 || ! cmp -s err.1 err.4; then
    echo "RandomError = $random_error: Threads = 1 and Threads = 4 differ"
    diff kept.1 kept.4 | head -20
    diff err.1 err.4 | head -5
    status=1
  fi
done
exit $status
