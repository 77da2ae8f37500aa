#!/usr/bin/env bash
# Fits kriging models on Latin hypercube designs of smooth functions and shows
# for each design whether Fit ran to its end and how long it took.
#
# Usage: tests/fit_space_filling.sh [-d dorve] [-n "50 100"] [-k "2 5 8"] [-t tries] [-s seed] [-q]
#   -d  the dorve binary (default: build/dorve beside this script's folder)
#   -n  design sizes (default: 50 100 200 400)
#   -k  dimensions, each of 2 (Branin), 5 (Friedman) or 8 (borehole) (default: 2 5 8)
#   -t  Tries for every fit (default: 3; 1 keeps the 400-point fits to minutes)
#   -s  seed of the designs (default: 1)
#   -q  quiet: no table, only the exit status (0 when every fit ran to its end)
#
# A dorve built with -DDORVE_QL_TRACE (for example
#   cmake -S . -B build-qltrace -DCMAKE_CXX_FLAGS=-DDORVE_QL_TRACE)
# reports each eigenvalue that the QL iteration finished by its absolute
# deflation test; the last column counts them, "-" for other builds.
set -u
here=$(cd "$(dirname "$0")" && pwd)
dorve="$here/../build/dorve"
sizes="50 100 200 400"
dims="2 5 8"
tries=3
seed=1
quiet=0
while getopts "d:n:k:t:s:q" opt; do
  case $opt in
    d) dorve=$OPTARG ;;
    n) sizes=$OPTARG ;;
    k) dims=$OPTARG ;;
    t) tries=$OPTARG ;;
    s) seed=$OPTARG ;;
    q) quiet=1 ;;
    *) sed -n '2,10p' "$0" >&2; exit 2 ;;
  esac
done
dorve=$(cd "$(dirname "$dorve")" && pwd)/$(basename "$dorve")
[ -x "$dorve" ] || { echo "no dorve binary at $dorve" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes X.mat (n x k Latin hypercube on the unit cube) and y.mat (the test
# function of dimension k) into the current folder. The generator is the
# Park-Miller minimal standard, exact in double precision, so every awk draws
# the same designs.
make_design() { # n k seed
  awk -v n="$1" -v k="$2" -v seed="$3" '
    function uniform() { state = (16807 * state) % 2147483647; return state / 2147483647 }
    function branin(a, b) {
      a = -5 + 15 * a; b = 15 * b
      return (b - 5.1 / (4 * pi * pi) * a * a + 5 / pi * a - 6)^2 + 10 * (1 - 1 / (8 * pi)) * cos(a) + 10
    }
    function friedman(i) {
      return 10 * sin(pi * x[i, 1] * x[i, 2]) + 20 * (x[i, 3] - 0.5)^2 + 10 * x[i, 4] + 5 * x[i, 5]
    }
    function borehole(i,   rw, r, tu, hu, tl, hl, len, kw, lg) {
      rw = 0.05 + 0.1 * x[i, 1]; r = 100 + 49900 * x[i, 2]; tu = 63070 + 52530 * x[i, 3]
      hu = 990 + 120 * x[i, 4]; tl = 63.1 + 52.9 * x[i, 5]; hl = 700 + 120 * x[i, 6]
      len = 1120 + 560 * x[i, 7]; kw = 9855 + 2190 * x[i, 8]
      lg = log(r / rw)
      return 2 * pi * tu * (hu - hl) / (lg * (1 + 2 * len * tu / (lg * rw * rw * kw) + tu / tl))
    }
    BEGIN {
      pi = atan2(0, -1)
      state = seed + 12345
      for (j = 1; j <= k; j++) {
        for (i = 1; i <= n; i++) perm[i] = i - 1
        for (i = n; i > 1; i--) {  # Fisher-Yates
          s = 1 + int(uniform() * i); t = perm[i]; perm[i] = perm[s]; perm[s] = t
        }
        for (i = 1; i <= n; i++) x[i, j] = (perm[i] + uniform()) / n
      }
      print "--" > "X.mat"; printf " Case" > "X.mat"
      for (j = 1; j <= k; j++) printf " x%d", j > "X.mat"
      print "" > "X.mat"; print "--" > "X.mat"
      print "--" > "y.mat"; print " Case f" > "y.mat"; print "--" > "y.mat"
      for (i = 1; i <= n; i++) {
        printf "%d", i > "X.mat"
        for (j = 1; j <= k; j++) printf " %.10f", x[i, j] > "X.mat"
        print "" > "X.mat"
        if (k == 2) f = branin(x[i, 1], x[i, 2]); else if (k == 5) f = friedman(i); else f = borehole(i)
        printf "%d %.12g\n", i, f > "y.mat"
      }
    }'
}

failures=0
[ $quiet = 1 ] || printf "%5s %2s %-9s %-8s %8s %9s\n" n d function finished seconds fallbacks
for k in $dims; do
  case $k in
    2) name=Branin ;; 5) name=Friedman ;; 8) name=borehole ;;
    *) echo "dimension $k: only 2, 5 and 8 have a test function" >&2; exit 2 ;;
  esac
  for n in $sizes; do
    dir="$work/n${n}_d$k"
    mkdir -p "$dir"
    (
      cd "$dir" || exit 1
      make_design "$n" "$k" "$seed"
      printf "Tries = %s\nX < X.mat\ny < y.mat\nFit\nQuit\n" "$tries" > session.cmd
      start=$(date +%s.%N)
      "$dorve" session.cmd > out.txt 2> err.txt
      echo $? > status
      end=$(date +%s.%N)
      awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f\n", b - a }' > seconds
    )
    finished=no
    if [ "$(cat "$dir/status")" = 0 ] && grep -q "^mle theta:" "$dir/out.txt" &&
       ! grep -q "DORVE ERROR" "$dir/out.txt" "$dir/err.txt"; then
      finished=yes
    fi
    [ $finished = yes ] || failures=$((failures + 1))
    fallbacks=-
    if strings "$dorve" | grep -q "needed the absolute test"; then
      fallbacks=$(grep -c "^tqli: " "$dir/err.txt")
    fi
    [ $quiet = 1 ] || printf "%5s %2s %-9s %-8s %8s %9s\n" "$n" "$k" "$name" "$finished" \
      "$(cat "$dir/seconds")" "$fallbacks"
    if [ $finished = no ] && [ $quiet = 0 ]; then
      tail -n 5 "$dir/out.txt" "$dir/err.txt" | sed 's/^/    /'
    fi
  done
done
[ $failures = 0 ]
