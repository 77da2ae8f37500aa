#!/usr/bin/env bash
# A termination request that reaches dorve while a stage of evaluations runs
# ends dorve with the signal number as its exit status, ends every process
# the stage's commands started, and leaves the journal of the stages before.
set -u
dorve=$1
cases=$2
work=$(mktemp -d)
cleanup() {
  for f in "$work"/pid.*; do [ -s "$f" ] && kill -KILL "$(cat "$f")" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
cp "$cases"/minimize_branin_shell/{design.mat,branin.mat,xdescription.mat} "$work"/
cd "$work" || exit 1

# The first call for each slot answers at once; the second starts a long
# sleep in the background, notes its own and the sleep's process ids and
# waits for it.
cat > objective.sh <<'SCRIPT'
#!/bin/sh
calls=$(( $(cat "calls.$1" 2>/dev/null || echo 0) + 1 ))
echo "$calls" > "calls.$1"
if [ "$calls" -ge 2 ]; then
  sleep 120 &
  echo "$!" > "pid.sleep.$1"
  echo "$$" > "pid.script.$1"
  wait
fi
v=$(awk '{ pi = 3.14159265358979; q = $3 - 5.1 / (4 * pi * pi) * $2 * $2 + 5 / pi * $2 - 6
  printf "%.10g", q * q + 10 * (1 - 1 / (8 * pi)) * cos($2) + 10 }' "$1")
printf " %s" "$v" >> "$1"
SCRIPT
chmod +x objective.sh
printf 'X < design.mat\ny < branin.mat\nXDescription < xdescription.mat\n' > commands
printf 'ObjectiveFunction = ./objective.sh\nParallelEvaluations = 2\nMinimize\nQuit\n' >> commands

fail() { echo "$1"; echo "== out.txt"; cat out.txt; exit 1; }

"$dorve" commands out.txt &
pid=$!
tries=0
while [ "$(ls pid.sleep.* 2>/dev/null | wc -l)" -lt 2 ] && [ "$tries" -lt 300 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
[ "$(ls pid.script.* 2>/dev/null | wc -l)" -eq 2 ] || fail "the second stage did not start"
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" = 15 ] || fail "exit status: expected 15, got $status"

# A process is gone, or a zombie waiting for whoever adopted it.
ended() { [ ! -e "/proc/$1" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" = Z ]; }
for f in pid.sleep.* pid.script.*; do
  p=$(cat "$f")
  tries=0
  until ended "$p" || [ "$tries" -ge 50 ]; do sleep 0.1; tries=$((tries + 1)); done
  ended "$p" || fail "process $p of $f still runs after dorve ended"
done

# The journal holds the starting design and the first stage, both files alike.
rows() { awk '/^-+$/ { dashes++; next } dashes >= 2 && NF { n++ } END { print n }' "$1"; }
[ "$(rows dorve_journal_x.mat)" = 26 ] || fail "journal X: expected 26 rows, got $(rows dorve_journal_x.mat)"
[ "$(rows dorve_journal_y.mat)" = 26 ] || fail "journal y: expected 26 rows, got $(rows dorve_journal_y.mat)"
