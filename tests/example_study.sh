#!/usr/bin/env bash
# The bundled study from scratch: in a folder that holds only its command
# file and the box of the inputs, it designs the runs, evaluates them with
# the objective program, fits, cross-validates, draws the effects and
# minimises, ending within 0.5% of the global minimum -3.32237 of the
# six-input Hartmann function.
set -u
dorve=$1
objective=$2
examples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$examples"/study.cmd "$examples"/study_xdescription.mat "$work"/
cd "$work" || exit 1
sed -i "s|^ObjectiveFunction = .*|ObjectiveFunction = $objective|" study.cmd
"$dorve" --quiet study.cmd > out.txt 2>&1
status=$?
fail() { echo "$1"; cat out.txt; exit 1; }
[ "$status" -eq 0 ] || fail "exit status $status"
! grep -q "WARNING\|Sorry" out.txt || fail "the study prints warnings or refusals"
for f in study_design_out.mat study_responses_out.mat study_crossvalidation_out.svg \
         study_maineffects_out.svg dorve_journal_x.mat dorve_journal_y.mat; do
  [ -s "$f" ] || fail "the study wrote no $f"
done
grep -q "Evaluate: y holds all 48 rows." out.txt || fail "Evaluate did not answer every run"
ymin=$(sed -n 's/^Best Value found: ymin=//p' out.txt)
[ -n "$ymin" ] || fail "Minimize did not finish"
awk -v y="$ymin" 'BEGIN { exit !(y <= -3.32237 * 0.995) }' ||
  fail "ymin $ymin is not within 0.5% of the global minimum -3.32237"
exit 0
