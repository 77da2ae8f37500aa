#!/bin/sh
# An objective for the tests that kill a run during an evaluation: appends
# the Branin value of the point (x1, x2) in the exchange file $1 and logs the
# answer as "x1 x2 y" in evaluated.log. It counts its calls per exchange file
# (calls.<file>); on the call that kill_at names ("<file> <count>") it kills
# dorve, whose pid is in dorve.pid, and answers nothing.
calls=$(( $(cat "calls.$1" 2>/dev/null || echo 0) + 1 ))
echo "$calls" > "calls.$1"
if [ -f kill_at ] && [ "$1 $calls" = "$(cat kill_at)" ]; then
  tries=0
  while [ ! -s dorve.pid ] && [ "$tries" -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
  kill -KILL "$(cat dorve.pid)"
  exit 0
fi
v=$(awk '{ pi = 3.14159265358979; q = $3 - 5.1 / (4 * pi * pi) * $2 * $2 + 5 / pi * $2 - 6
  printf "%.10g", q * q + 10 * (1 - 1 / (8 * pi)) * cos($2) + 10 }' "$1")
awk -v y="$v" '{ print $2, $3, y }' "$1" >> evaluated.log
printf " %s" "$v" >> "$1"
