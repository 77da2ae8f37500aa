#!/usr/bin/env bash
# The same default Fit (and a Predict of the held-out points) by two DORVE
# binaries, alternately, on the peer benchmark's data sets: checks that both
# print the same and reports the CPU seconds of each (best of the runs) and
# their ratio. For measuring a change of speed that must not change results.
#
#   bench/compare_fit.sh OLD_DORVE NEW_DORVE [--sets friedman_n200,friedman_n400]
#       [--runs 3] [--option 'Tries = 1']... [--data build-bench/peers]
set -euo pipefail
old=$1 new=$2
shift 2
sets=friedman_n200,friedman_n400
runs=3
data=build-bench/peers
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --sets) sets=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --option) options+=("$2"); shift 2 ;;
    --data) data=$2; shift 2 ;;
    *) echo "compare_fit.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
here=$(cd "$(dirname "$0")" && pwd)
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
old=$(abs "$old") new=$(abs "$new")
mkdir -p "$data"
/usr/bin/python3 "$here/peers/data.py" "$data" --sets "$sets"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "| set | old CPU s | new CPU s | old / new | output |"
echo "|---|---|---|---|---|"
IFS=, read -r -a set_list <<< "$sets"
for name in "${set_list[@]}"; do
  folder=$(cd "$data/$name" && pwd)
  {
    echo "X < $folder/x.mat"
    echo "y < $folder/y.mat"
    echo "Threads = 1"
    for option in "${options[@]}"; do echo "$option"; done
    echo "Fit"
    echo "Predict < $folder/xtest.mat > pred.csv"
    echo "Quit"
  } > "$work/session.cmd"
  best_old= best_new=
  for ((r = 0; r < runs; r++)); do
    for which in old new; do
      binary=$old
      [ $which = new ] && binary=$new
      mkdir -p "$work/$which"
      (cd "$work/$which" && /usr/bin/time -f '%U %S' -o time.txt "$binary" ../session.cmd out.txt)
      t=$(awk '{print $1 + $2}' "$work/$which/time.txt")
      if [ $which = old ]; then
        best_old=$(awk -v a="$t" -v b="${best_old:-1e99}" 'BEGIN {print (a < b) ? a : b}')
      else
        best_new=$(awk -v a="$t" -v b="${best_new:-1e99}" 'BEGIN {print (a < b) ? a : b}')
      fi
    done
  done
  same=identical
  cmp -s "$work/old/out.txt" "$work/new/out.txt" && cmp -s "$work/old/pred.csv" "$work/new/pred.csv" ||
    same=DIFFERENT
  ratio=$(awk -v a="$best_old" -v b="$best_new" 'BEGIN {printf "%.2f", a / b}')
  echo "| $name | $best_old | $best_new | $ratio | $same |"
done
