#!/bin/sh
# Appends the Branin value of the point in $1 on every call, but exits with
# status 3 from the second call on.
calls=$(( $(cat calls 2>/dev/null || echo 0) + 1 ))
echo "$calls" > calls
awk '{ pi = 3.14159265358979; q = $3 - 5.1 / (4 * pi * pi) * $2 * $2 + 5 / pi * $2 - 6
  printf " %.10g", q * q + 10 * (1 - 1 / (8 * pi)) * cos($2) + 10 }' "$1" >> "$1"
[ "$calls" -ge 2 ] && exit 3
exit 0
