#!/usr/bin/env bash
# The bundled example: its responses are what its objective program answers
# on the design, and its session runs from top to bottom without a warning,
# ending at the constrained optimum of Branin under Cost <= 3.5 (3.58839 at
# Pressure 2.63664, Temp 1.29030).
set -u
dorve=$1
objective=$2
examples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$examples"/*.mat "$examples"/session.cmd "$work"/
cd "$work" || exit 1

# Every design run answered by the objective, to the 5 decimals of responses.mat.
awk 'NR > 6 && NF == 3 { print $2, $3 }' design.mat | while read -r p t; do
  printf '2  %s  %s \n' "$p" "$t" > point.temp
  "$objective" point.temp || exit 1
  awk '{ printf "%.5f %.5f\n", $4, $5 }' point.temp
done > answered.txt
awk 'NR > 6 && NF == 3 { printf "%.5f %.5f\n", $2, $3 }' responses.mat > stored.txt
if ! diff stored.txt answered.txt; then
  echo "responses.mat differs from the objective's answers on design.mat"
  exit 1
fi

sed -i "s|^ObjectiveFunction = .*|ObjectiveFunction = $objective|" session.cmd
"$dorve" session.cmd > out.txt 2>&1
status=$?
fail() { echo "$1"; cat out.txt; exit 1; }
[ "$status" -eq 0 ] || fail "exit status $status"
! grep -q "WARNING" out.txt || fail "the example session prints warnings"
ymin=$(sed -n 's/^Best Value found: ymin=//p' out.txt)
[ -n "$ymin" ] || fail "Minimize did not finish"
awk -v y="$ymin" 'BEGIN { exit !(y >= 3.58839 && y <= 3.58839 * 1.005) }' ||
  fail "ymin $ymin is not within 0.5% above the constrained optimum 3.58839"
