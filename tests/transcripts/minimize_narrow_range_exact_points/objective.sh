#!/bin/sh
# The Branin function with Pressure scaled from [0, 1e-5] to [-5, 10];
# appends its value to the exchange file $1 and logs the point it was given.
cat "$1" >> points.log
echo >> points.log
v=$(awk '{ pi = 3.14159265358979; p = $2 * 1.5e6 - 5; q = $3 - 5.1 / (4 * pi * pi) * p * p + 5 / pi * p - 6
  printf "%.10g", q * q + 10 * (1 - 1 / (8 * pi)) * cos(p) + 10 }' "$1")
printf " %s" "$v" >> "$1"
