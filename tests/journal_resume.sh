#!/usr/bin/env bash
# A Minimize run killed with SIGKILL while its objective runs leaves a
# journal; a second run started from that journal goes on, and in the end
# the journal holds the starting design and every evaluation the objective
# finished, each exactly once and in order.
set -u
dorve=$1
cases=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$cases"/minimize_branin_shell/{design.mat,branin.mat,xdescription.mat} "$work"/
cd "$work" || exit 1

cp "$here/objective_killing_dorve.sh" objective.sh

printf 'X < design.mat\ny < branin.mat\nXDescription < xdescription.mat\n' > first.cmd
printf 'ObjectiveFunction = ./objective.sh\nMinimize\nQuit\n' >> first.cmd
printf 'X < dorve_journal_x.mat\ny < dorve_journal_y.mat\nXDescription < xdescription.mat\n' > resume.cmd
printf 'ObjectiveFunction = ./objective.sh\nMaxEvaluations = 3\nMinimize\nQuit\n' >> resume.cmd

fail() { echo "$1"; for f in out1.txt out2.txt evaluated.log; do echo "== $f"; cat "$f"; done; exit 1; }

echo "dorve.temp 4" > kill_at
"$dorve" first.cmd > out1.txt 2>&1 &
echo $! > dorve.pid
# (bash's own report of the killed job goes to /dev/null)
{ wait "$(cat dorve.pid)"; status=$?; } 2>/dev/null
[ "$status" = 137 ] || fail "first run: expected death by SIGKILL (137), got $status"
[ "$(wc -l < evaluated.log)" = 3 ] || fail "first run: expected 3 answered calls"

"$dorve" resume.cmd > out2.txt 2>&1 || fail "resumed run failed"
grep -q "Number of Observations :                 27" out2.txt ||
  fail "the resumed run did not start from the 27 journalled observations"

# The rows of a journal file: the entries of each data line after its case number.
rows() { awk '$1 ~ /^[0-9]+$/ { $1 = ""; print }' "$1"; }
new_rows() { rows "$1" | tail -n +25; }
evaluated=$(wc -l < evaluated.log)
[ "$(rows dorve_journal_x.mat | wc -l)" = $((24 + evaluated)) ] ||
  fail "journal X: expected $((24 + evaluated)) rows"
[ "$(rows dorve_journal_y.mat | wc -l)" = $((24 + evaluated)) ] ||
  fail "journal y: expected $((24 + evaluated)) rows"
# The starting design, then every answered point and its response, in order.
[ "$(rows dorve_journal_x.mat | head -n 24 | awk '{ printf "%.4f %.4f\n", $1, $2 }')" = \
  "$(rows design.mat | awk '{ printf "%.4f %.4f\n", $1, $2 }')" ] || fail "journal X: starting design"
journal=$(paste -d' ' <(new_rows dorve_journal_x.mat) <(new_rows dorve_journal_y.mat) |
  awk '{ printf "%.6f %.6f %.10g\n", $1, $2, $3 }')
logged=$(awk '{ printf "%.6f %.6f %.10g\n", $1, $2, $3 }' evaluated.log)
[ "$journal" = "$logged" ] || fail "journal and answered calls differ:
$journal
--- answered:
$logged"
exit 0
