#!/usr/bin/env bash
# Minimize with two parallel evaluations whose objective runs as Slurm job
# steps (srun -n1) on a one-node cluster started for the test: the run makes
# its four evaluations in two stages of two, both steps of a stage run at the
# same time, and every point and answer lands in the journal in proposal order.
#
# Arguments: dorve, the transcript cases (for the Branin design), and the
# folder for the cluster's configuration, logs and state.
set -u
dorve=$1
cases=$2
cluster_dir=$3
. "$(dirname "$0")/cluster.sh"
slurm_require_packages

work=$(mktemp -d)
cleanup() { slurm_cluster_stop; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAILED: $1"
  for f in out.txt objective.log; do echo "== $f"; cat "$work/$f" 2>/dev/null; done
  slurm_show_logs
  exit 1
}

slurm_cluster_start "$cluster_dir" 2 || exit 1

cp "$cases"/minimize_branin_shell/{design.mat,branin.mat,xdescription.mat} "$work"/
cd "$work" || exit 1

# The Branin objective of the exchange file $1 (dorve.temp.1 or dorve.temp.2).
# Before answering, each call announces itself and waits up to 60 s for the
# other slot's call of the same stage: both only meet when dorve started them
# together. Each call logs "job step slot stage met x1 x2 y".
cat > objective.sh <<'SCRIPT'
#!/bin/sh
slot=${1##*.}
met=alone
stage=0
case $slot in
  1|2)
    other=$((3 - slot))
    stage=$(( $(ls arrived 2>/dev/null | grep -c "^$slot\.") + 1 ))
    mkdir -p arrived && : > "arrived/$slot.$stage"
    tries=0
    while [ $tries -lt 600 ]; do
      if [ -e "arrived/$other.$stage" ]; then met=met; break; fi
      sleep 0.1; tries=$((tries + 1))
    done
    ;;
esac
v=$(awk '{ pi = 3.14159265358979; q = $3 - 5.1 / (4 * pi * pi) * $2 * $2 + 5 / pi * $2 - 6
  printf "%.10g", q * q + 10 * (1 - 1 / (8 * pi)) * cos($2) + 10 }' "$1")
awk -v id="${SLURM_JOB_ID:-none} ${SLURM_STEP_ID:-none} $slot $stage $met" -v y="$v" \
  '{ print id, $2, $3, y }' "$1" >> objective.log
printf " %s" "$v" >> "$1"
SCRIPT

cat > session.cmd <<'CMDS'
X < design.mat
y < branin.mat
XDescription < xdescription.mat
ParallelEvaluations = 2
MaxEvaluations = 4
SystemCommandObjectiveFunction = srun -n1 sh objective.sh dorve.temp
Minimize
Database
Quit
CMDS

timeout 150 "$dorve" session.cmd > out.txt 2>&1
status=$?
[ "$status" = 0 ] || fail "dorve ended with status $status"
grep -q "^Minimize stops: 4 objective evaluations made (MaxEvaluations = 4)\.$" out.txt ||
  fail "the run did not stop after its four evaluations"
grep -q "^Number of Observations :  *28$" out.txt || fail "the design did not grow to 28 points"
[ -f objective.log ] && [ "$(wc -l < objective.log)" = 4 ] ||
  fail "expected four objective calls"

# Every call ran as the first step of a job of its own.
awk '$1 !~ /^[0-9]+$/ || $2 != 0' objective.log | grep -q . &&
  fail "a call did not run as a Slurm job step"
[ "$(cut -d' ' -f1 objective.log | sort -u | wc -l)" = 4 ] || fail "two calls shared a Slurm job"
# Two stages of two, each stage's calls running together in slots 1 and 2.
grep -q " alone " objective.log && fail "a stage's two calls did not run at the same time"
[ "$(cut -d' ' -f3,4 objective.log | sort | tr '\n' ' ')" = "1 1 1 2 2 1 2 2 " ] ||
  fail "expected slots 1 and 2 in each of two stages"

# The journal holds the 24 starting points, then each stage's points in slot
# order with their answers.
rows() { awk '$1 ~ /^[0-9]+$/ { $1 = ""; print }' "$1"; }
[ "$(rows dorve_journal_x.mat | wc -l)" = 28 ] || fail "journal X: expected 28 rows"
journal=$(paste -d' ' <(rows dorve_journal_x.mat | tail -n 4) <(rows dorve_journal_y.mat | tail -n 4) |
  awk '{ printf "%.6f %.6f %.10g\n", $1, $2, $3 }')
logged=$(sort -k4,4n -k3,3n objective.log | awk '{ printf "%.6f %.6f %.10g\n", $6, $7, $8 }')
[ "$journal" = "$logged" ] || fail "journal and objective calls differ:
$journal
--- calls by stage and slot:
$logged"
exit 0
