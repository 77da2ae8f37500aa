#!/usr/bin/env bash
# A termination request that reaches dorve while a stage of evaluations runs
# ends dorve with the signal number as its exit status, ends every process
# the stage's commands started, and leaves the journal of the stages before.
#   parallel_signal.sh dorve cases [q signal status]
# q evaluations at once (default 2; 1: one at a time, the second evaluation
# is the one interrupted), the signal sent (default TERM) and the exit status
# the shell sees (default 15).
set -u
dorve=$1
cases=$2
q=${3:-2}
signal=${4:-TERM}
want_status=${5:-15}
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
printf 'ObjectiveFunction = ./objective.sh\nParallelEvaluations = %d\nMinimize\nQuit\n' "$q" >> commands

fail() { echo "$1"; echo "== out.txt"; cat out.txt; exit 1; }

# Job control: a background job of a script would otherwise start with
# interrupts ignored, as if it had been started with nohup.
set -m
"$dorve" commands out.txt &
pid=$!
tries=0
while [ "$(ls pid.sleep.* 2>/dev/null | wc -l)" -lt "$q" ] && [ "$tries" -lt 300 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
[ "$(ls pid.script.* 2>/dev/null | wc -l)" -eq "$q" ] || fail "the second stage did not start"
kill -"$signal" "$pid"
wait "$pid"
status=$?
[ "$status" = "$want_status" ] || fail "exit status: expected $want_status, got $status"

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
want_rows=$((24 + q))
[ "$(rows dorve_journal_x.mat)" = "$want_rows" ] || fail "journal X: expected $want_rows rows, got $(rows dorve_journal_x.mat)"
[ "$(rows dorve_journal_y.mat)" = "$want_rows" ] || fail "journal y: expected $want_rows rows, got $(rows dorve_journal_y.mat)"
