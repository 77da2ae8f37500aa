#!/usr/bin/env bash
# An Evaluate run killed with SIGKILL while its objective runs, started again
# with the same command file, takes the journalled answers and evaluates only
# the rest: every row gets the objective's answer for its point, and no row
# answered before the kill is evaluated again. Once with one evaluation at a
# time, once with three at once (the kill falls in the second round).
set -u
dorve=$1
cases=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=10

fail() { echo "$1"; for f in out1.txt out2.txt evaluated.log; do echo "== $f"; cat "$f"; done
         exit 1; }

# The rows of a matrix file: the entries of each data line after its case number.
rows() { awk '$1 ~ /^[0-9]+$/ { $1 = ""; print }' "$1"; }
answered_calls() { cat calls.* 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }

run_case() { # parallel evaluations, kill_at, rows journalled before the kill
  local q=$1 kill_at=$2 journalled=$3
  rm -rf "$work/case" && mkdir "$work/case" && cd "$work/case" || exit 1
  cp "$cases"/design_forms/xdescription.mat .
  cp "$here/objective_killing_dorve.sh" objective.sh
  printf 'Design %d < xdescription.mat > X\nObjectiveFunction = ./objective.sh\n' $n > study.cmd
  printf 'ParallelEvaluations = %d\nEvaluate\ny > y_out.mat\nQuit\n' "$q" >> study.cmd

  echo "$kill_at" > kill_at
  "$dorve" study.cmd > out1.txt 2>&1 &
  echo $! > dorve.pid
  { wait "$(cat dorve.pid)"; status=$?; } 2>/dev/null
  [ "$status" = 137 ] || fail "q=$q: expected death by SIGKILL (137), got $status"
  sleep 1  # the other evaluations of the round end on their own
  [ "$(rows dorve_journal_y.mat | grep -vc NA)" = "$journalled" ] ||
    fail "q=$q: expected $journalled journalled answers"

  rm -f kill_at calls.*
  "$dorve" study.cmd > out2.txt 2>&1 || fail "q=$q: the second run failed"
  grep -q "Evaluate: $journalled rows answered from the journal" out2.txt ||
    fail "q=$q: the second run did not take the journalled answers"
  [ "$(answered_calls)" = $((n - journalled)) ] ||
    fail "q=$q: the second run made $(answered_calls) calls, not $((n - journalled))"
  # Every row holds the answer the objective gave for its point.
  local expected actual
  expected=$(paste -d' ' <(rows dorve_journal_x.mat) <(rows y_out.mat) |
    awk '{ printf "%.4f %.4f %.4f\n", $1, $2, $3 }')
  actual=$(rows dorve_journal_x.mat | while read -r p t; do
    awk -v p="$p" -v t="$t" '$1 == p && $2 == t { printf "%.4f %.4f %.4f\n", $1, $2, $3; exit }' \
      evaluated.log
  done)
  [ "$expected" = "$actual" ] || fail "q=$q: y differs from the answers:
$expected
--- answered:
$actual"
}

run_case 1 "dorve.temp 5" 4
run_case 3 "dorve.temp.2 2" 3
exit 0
