#!/usr/bin/env bash
# Manual measurement of Minimize with ParallelEvaluations (not a test, nothing
# is asserted). Every objective call sleeps SIM_SECONDS (default 1) before it
# answers, standing in for a simulator that takes that long.
#
#  1. The same number of evaluations (EVALS, default 12) with q = 1 and q = 4:
#     wall time, and DORVE's own CPU time.
#  2. For q = 1, 2, 4, on the bundled example (Branin under the Cost budget,
#     examples/) and on Branin over the unit square (a 12-run design): the
#     evaluations and the wall time until the best feasible value found is
#     within 1% of the optimum (at most MAX_EVALS evaluations, default 40).
#
# Usage: bench/parallel_evaluations.sh [build folder]   (after `make`)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
dorve=$build/dorve
constrained=$build/examples/objectives/branin_constrained
sim_seconds=${SIM_SECONDS:-1}
evals=${EVALS:-12}
max_evals=${MAX_EVALS:-40}
for program in "$dorve" "$constrained"; do
  [ -x "$program" ] || { echo "missing $program: run make first"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }

# The objective programs: each sleeps, answers, and logs "time answer-line".
cat > "$work/branin_unit.sh" <<'SCRIPT'
#!/bin/sh
# Branin over the unit square: x1 = 15 u - 5, x2 = 15 v.
sleep "$SIM_SECONDS"
v=$(awk '{ pi = 3.14159265358979; a = 15 * $2 - 5; b = 15 * $3
  q = b - 5.1 / (4 * pi * pi) * a * a + 5 / pi * a - 6
  printf "%.10g", q * q + 10 * (1 - 1 / (8 * pi)) * cos(a) + 10 }' "$1")
printf " %s" "$v" >> "$1"
echo "$(date +%s.%N) $(cat "$1")" >> answers.log
SCRIPT
cat > "$work/example.sh" <<SCRIPT
#!/bin/sh
sleep "\$SIM_SECONDS"
"$constrained" "\$1"
echo "\$(date +%s.%N) \$(cat "\$1")" >> answers.log
SCRIPT
chmod +x "$work/branin_unit.sh" "$work/example.sh"
export SIM_SECONDS=$sim_seconds

# The unit-square experiment: a 12-run Latin hypercube and its Branin values.
write_unit_square() { # folder
  awk 'BEGIN {
    print "Version 1.400 "; print "X Matrix "; print ""; print "------------------------------"
    print " Case           u           v "; print "------------------------------"
    for (i = 0; i < 12; i++) printf "%5d  %10.6f  %10.6f  \n", i + 1, (i + 0.5) / 12, ((5 * i) % 12 + 0.5) / 12
  }' > "$1/design.mat"
  awk 'BEGIN {
    print "Version 1.400 "; print "y Matrix "; print ""; print "------------------"
    print " Case      Branin "; print "------------------"
    pi = 3.14159265358979
    for (i = 0; i < 12; i++) {
      a = 15 * (i + 0.5) / 12 - 5; b = 15 * (((5 * i) % 12) + 0.5) / 12
      q = b - 5.1 / (4 * pi * pi) * a * a + 5 / pi * a - 6
      printf "%5d  %.10g  \n", i + 1, q * q + 10 * (1 - 1 / (8 * pi)) * cos(a) + 10
    }
  }' > "$1/branin.mat"
  awk 'BEGIN {
    print "Version 1.400 "; print "XDescription "; print ""; print "------------------------------------------"
    print " Case    Variable         Min         Max "; print "------------------------------------------"
    print "    1           u           0           1  "; print "    2           v           0           1  "
  }' > "$1/xdescription.mat"
}

# Runs one Minimize in a fresh folder: problem (example|unit), q, budget and
# extra option lines. Prints "wall-seconds cpu-seconds"; the run's folder is
# run_folder with the same arguments.
run_folder() { echo "$work/$1.q$2.b$3"; }
run_minimize() { # problem q budget [option lines]
  local problem=$1 q=$2 budget=$3 extra=${4:-}
  local run
  run=$(run_folder "$problem" "$q" "$budget")
  rm -rf "$run"
  mkdir -p "$run"
  if [ "$problem" = example ]; then
    cp "$root"/examples/{design.mat,responses.mat,xdescription.mat,ydescription.mat} "$run"/
    printf 'Tries = 5\nRandomSeed = 12\nX < design.mat\ny < responses.mat\n' > "$run/commands"
    printf 'XDescription < xdescription.mat\nYDescription < ydescription.mat\n' >> "$run/commands"
    printf 'ObjectiveFunction = %s\nMleFrequency = 5\n' "$work/example.sh" >> "$run/commands"
    printf 'StoppingRelativeTolerance = 0.005\n' >> "$run/commands"
  else
    write_unit_square "$run"
    printf 'X < design.mat\ny < branin.mat\nXDescription < xdescription.mat\n' > "$run/commands"
    printf 'ObjectiveFunction = %s\n' "$work/branin_unit.sh" >> "$run/commands"
  fi
  printf '%bParallelEvaluations = %d\nMaxEvaluations = %d\nMinimize\nQuit\n' "$extra" "$q" \
    "$budget" >> "$run/commands"
  local end
  now > "$run/start.txt"
  (cd "$run" && /usr/bin/time -f "%U %S" -o cpu.txt "$dorve" commands out.txt)
  end=$(now)
  awk -v s="$(cat "$run/start.txt")" -v e="$end" '{ printf "%.1f %.2f\n", e - s, $1 + $2 }' \
    "$run/cpu.txt"
}

# The evaluations of a finished run, in the journal's order after the first
# n0 rows: "value feasible" per line (feasible: Cost <= 3.5, or always).
evaluations_after() { # folder n0
  awk -v n0="$2" '
    FNR == 1 { file++ } /^-+$/ { dashes[file]++; next }
    dashes[file] >= 2 && NF { row++; if (row > n0) { if (NF >= 3) print $2, ($3 <= 3.5); else print $2, 1 } }
  ' "$1/dorve_journal_y.mat"
}

echo "SIM_SECONDS=$sim_seconds  (objective answers after that long)"
echo
echo "1. $evals evaluations, Branin over the unit square"
printf '%-4s %10s %10s %14s\n' q wall_s cpu_s evaluations
for q in 1 4; do
  read -r wall cpu < <(run_minimize unit "$q" "$evals" \
    'StoppingAbsoluteTolerance = 1e-30\nStoppingRelativeTolerance = 1e-7\n')
  run=$(run_folder unit "$q" "$evals")
  made=$(evaluations_after "$run" 12 | wc -l)
  printf '%-4s %10s %10s %14s\n' "$q" "$wall" "$cpu" "$made"
done

echo
echo "2. To 1% of the optimum (at most $max_evals evaluations)"
printf '%-8s %-3s %11s %11s %8s %9s %10s %7s  %s\n' problem q evals_to_1% stage_evals s_to_1% run_evals run_wall_s cpu_s best
for problem in example unit; do
  if [ "$problem" = example ]; then optimum=3.588; n0=24; else optimum=0.397887; n0=12; fi
  for q in 1 2 4; do
    read -r wall cpu < <(run_minimize "$problem" "$q" "$max_evals")
    run=$(run_folder "$problem" "$q" "$max_evals")
    # The first evaluation (in the journal's order) within 1%, the
    # evaluations run by the end of its stage, the best feasible value, and
    # the time from the start until the first answer within 1% was written.
    read -r hit best < <(evaluations_after "$run" "$n0" | awk -v t="$optimum" '
      { if ($2 && (best == "" || $1 < best)) best = $1
        if (!hit && $2 && $1 <= t * 1.01) hit = NR }
      END { print (hit ? hit : "-"), best }')
    stage_evals=-
    [ "$hit" != - ] && stage_evals=$(( (hit + q - 1) / q * q ))
    to_hit=$(sort -n "$run/answers.log" | awk -v s="$(cat "$run/start.txt")" -v t="$optimum" '
      { feasible = NF < 6 || $6 <= 3.5 }
      feasible && $5 <= t * 1.01 { printf "%.1f", $1 - s; found = 1; exit }
      END { if (!found) print "-" }')
    made=$(evaluations_after "$run" "$n0" | wc -l)
    printf '%-8s %-3s %11s %11s %8s %9s %10s %7s  %s\n' "$problem" "$q" "$hit" "$stage_evals" \
      "$to_hit" "$made" "$wall" "$cpu" "$best"
  done
done
